// Helpers for the store's tests: scratch folders and running zastore.
#ifndef FDBTESTING_H
#define FDBTESTING_H

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "zaerror.h"

// A fresh folder under the build directory, removed with its contents at the end.
struct ScratchDir {
  std::string path;
  ScratchDir() {
    char name[] = ZA_BINARY_DIR "/fdbtest-XXXXXX";
    path = mkdtemp(name);
  }
  ~ScratchDir() { (void)!system(("rm -rf '" + path + "'").c_str()); }
};

// Runs zastore with the arguments (shell words) and `input` on standard input;
// returns its exit status and stores what it printed.
inline int RunZastore(const std::string& args, const std::string& input = "", std::string* out = nullptr) {
  std::string cmd = "printf '%s' '" + input + "' | " ZA_BINARY_DIR "/bin/zastore " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int status = pclose(p);
  if (out) *out = text;
  return WEXITSTATUS(status);
}

// The level of the ZaError* that f throws, or 0 when it throws none.
template <class F>
int ErrorLevel(F f) {
  try {
    f();
  } catch (ZaError* e) {
    int level = e->level;
    delete e;
    return level;
  }
  return 0;
}

#endif
