// Advisory lock files shared between processes: POSIX record locks (fcntl) on
// companion ".lck" files, shared for reading and exclusive for writing.
// A process opens each lock file once while it holds locks on it: nested grabs
// of the same file share one descriptor, since closing any descriptor of a file
// drops all of the process's locks on it.
#ifndef ZALOCK_H
#define ZALOCK_H

#include "zaerror.h"
#include "zaport.h"

// Whole-file record lock on an open descriptor: F_RDLCK for type 0, F_WRLCK
// otherwise; when wait is ZaTrue, waits until granted but at most 10 seconds
// (then ZaFalse with errno EAGAIN). ZaTrue when the lock is held.
ZaBoolean ZaLockFileUnix(int fd, ZaBoolean wait, ZaLockType type);
ZaBoolean ZaUnlockFileUnix(int fd, ZaBoolean wait);

// Locks lockFile (created with mode 0660 less the umask when missing, never
// removed) and hands back an opaque handle through *handle; ZaLockFileRelease
// frees the handle, also when it throws. Failures throw a ZaError* (source
// utillib/src/zalock); a wait that ran out is a level-4 error whose user
// message says the console is busy.
void ZaLockFileGrab(const char* lockFile, ZaBoolean wait, ZaLockType type, void** handle);
void ZaLockFileRelease(void* handle, ZaBoolean wait);

// Scoped lock file: grabs (waiting) on construction, releases on destruction.
// Release() releases early and lets errors through; the destructor swallows them.
class ZaLockFileGuard {
 public:
  ZaLockFileGuard(const char* lockFile, ZaLockType type);
  ~ZaLockFileGuard();
  void Release();
  ZaLockFileGuard(const ZaLockFileGuard&) = delete;
  ZaLockFileGuard& operator=(const ZaLockFileGuard&) = delete;

 private:
  void* handle;
};

#endif
