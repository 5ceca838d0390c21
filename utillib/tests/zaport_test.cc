// Shared-library loading, error texts and the CGI threading interface.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <sys/utsname.h>

#include <memory>
#include <string>

#include "zaport.h"

namespace {

TEST(SharedLibrary, LoadsFindsAndReportsTheLoadersReason) {
  void* lib = ZaShLibOpen("libm.so.6", RTLD_LAZY);
  auto cosine = reinterpret_cast<double (*)(double)>(ZaShLibFindSym(lib, "cos"));
  EXPECT_EQ(cosine(0.0), 1.0);
  struct { std::string call, expect; } failures[] = {
      {"open", "Unable to open the shared library /no/libx.so - /no/libx.so: cannot open shared object file: "
               "No such file or directory"},
      {"find", "Look up of symbol - no_such_symbol failed - "},
      {"find", "undefined symbol: no_such_symbol"},
      {"close", "Unable to close the shared library - "}};  // a null handle, not a crash
  for (auto& f : failures) {
    try {
      if (f.call == "close") ZaShLibClose(nullptr);
      f.call == "open" ? ZaShLibOpen("/no/libx.so", RTLD_LAZY) : ZaShLibFindSym(lib, "no_such_symbol");
      ADD_FAILURE() << f.call << " passed";
    } catch (ZaError* e) {
      std::string line = e->lines.head->value;
      EXPECT_EQ(e->userMessages.count, 0);
      delete e;
      EXPECT_NE(line.find("in file utillib/src/zaport : "), std::string::npos) << line;
      EXPECT_NE(line.find(f.expect), std::string::npos) << line;
    }
  }
  EXPECT_NO_THROW(ZaShLibClose(lib));
}

TEST(CgiThreading, FixedResultsThatCallersRelyOn) {
  int store = 7;
  ZaSetDBHandle("UserDB", &store);
  EXPECT_EQ(ZaGetDBHandle("UserDB"), nullptr);  // each request opens its own store
  EXPECT_EQ(ZaThreadLock(ZaCreateLockObject(), ZaExclusiveLock), ZaTrue);
  ZaThreadSetData(ZaThreadNewKey(), &store);
  EXPECT_EQ(ZaThreadGetData(0), nullptr);
  EXPECT_EQ(ZaThreadAllocStore(64), nullptr);
  EXPECT_EQ(ZaGetGatewayKind(), 0);
  // A plug-in finds the mutex functions in the running program by plain name.
  auto alloc = reinterpret_cast<void* (*)()>(dlsym(RTLD_DEFAULT, "ZaMutexAlloc"));
  auto lock = reinterpret_cast<int (*)(void*)>(dlsym(RTLD_DEFAULT, "ZaMutexLock"));
  ASSERT_TRUE(alloc && lock && dlsym(RTLD_DEFAULT, "ZaMutexUnlock") && dlsym(RTLD_DEFAULT, "ZaMutexFree"));
  EXPECT_EQ(lock(alloc()), 0);
}

TEST(Platform, NamesTheRunningSystem) {
  struct utsname host;
  ASSERT_EQ(uname(&host), 0);
  std::unique_ptr<char, decltype(&free)> platform(ZaGetPlatform(), &free);
  EXPECT_EQ(std::string(platform.get()).rfind(std::string(host.sysname) + " " + host.release, 0), 0u)
      << platform.get();
}

}  // namespace
