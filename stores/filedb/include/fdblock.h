// Lock files of the store's tables, held through descriptors that stay open
// for the rest of the process: taking or dropping a lock is then one fcntl
// call instead of opening, locking, unlocking and closing the file, which is
// what dominated look-ups repeated once per user over a large directory.
// Record locks belong to the process, so guards on the same file (however its
// path is spelt) share one lock, exclusive while any of them asked for it.
// The descriptors are never closed, since closing any descriptor of a file
// drops all of the process's locks on it; the store never removes its lock
// files, so a descriptor stays good.
#ifndef FDBLOCK_H
#define FDBLOCK_H

#include <string>

#include "zaport.h"

struct FdbHeldLock;

// Waits for the lock on construction and releases it on destruction. Raises a
// ZaError* of level 3 when the lock file cannot be opened or created, and of
// level 2 when the lock cannot be taken.
class FdbLockGuard {
 public:
  FdbLockGuard(const std::string& lockFile, ZaLockType type);
  ~FdbLockGuard();
  FdbLockGuard(const FdbLockGuard&) = delete;
  FdbLockGuard& operator=(const FdbLockGuard&) = delete;

 private:
  FdbHeldLock* held;
  bool exclusive;
};

#endif
