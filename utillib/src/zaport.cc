// Shared-library loading, system error text and the platform's name.
#include "zaport.h"

#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/utsname.h>

#include <string>

namespace {

const char kSource[] = "utillib/src/zaport";

// dlerror() clears itself when read, so it is read exactly once per failure.
String LoaderError() {
  const char* text = dlerror();
  return String(text ? text : "unknown error");
}

[[noreturn]] void Raise(int line, const String& message) {
  ZaError* e = new ZaError();
  e->AddLine(line, kSource, message, ZaFalse);
  throw e;
}

}  // namespace

void* ZaShLibOpen(const char* path, int mode) {
  void* handle = dlopen(path, mode);
  if (!handle)
    Raise(__LINE__, String("Unable to open the shared library ") + path + " - " + LoaderError());
  return handle;
}

void* ZaShLibFindSym(void* handle, const char* name) {
  dlerror();  // a stale message must not be taken for this look-up's
  void* address = dlsym(handle, name);
  if (!address)
    Raise(__LINE__, String("Look up of symbol - ") + name + " failed - " + LoaderError());
  return address;
}

void ZaShLibClose(void* handle) {
  // dlclose does not check its argument: a null handle would crash the process.
  if (!handle) Raise(__LINE__, "Unable to close the shared library - no library handle");
  if (dlclose(handle) != 0)
    Raise(__LINE__, String("Unable to close the shared library - ") + LoaderError());
}

char* ZaGetLastErrorString() {
  const char* text = strerror(errno);
  return text ? strdup(text) : nullptr;
}

char* ZaGetPlatform() {
  struct utsname host;
  if (uname(&host) != 0) return strdup("Unix");
  std::string name = std::string(host.sysname) + " " + host.release + " (" + host.machine + ")";
  return strdup(name.c_str());
}
