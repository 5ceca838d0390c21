// Owners for what the C library hands out here: text from malloc, released
// with free, and open files, closed with fclose.
#ifndef OWNERS_H
#define OWNERS_H

#include <cstdio>
#include <cstdlib>
#include <memory>

struct FreeDeleter {
  void operator()(char* p) const { free(p); }
};
using MallocText = std::unique_ptr<char, FreeDeleter>;

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using OwnedFile = std::unique_ptr<FILE, FileCloser>;

#endif
