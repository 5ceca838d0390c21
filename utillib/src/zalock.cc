// Lock files: POSIX record locks on companion files, with an in-process table
// so that a process never opens a lock file twice while it holds a lock on it
// (closing any descriptor of a file drops every lock the process has on it).
#include "zalock.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <vector>

namespace {

const char kSource[] = "utillib/src/zalock";

struct LockFileHandle {
  char* path;    // owned copy
  FILE* stream;  // the lock file, shared by all handles on the same file
  ZaBoolean exclusive;
};

struct HandleDeleter {
  void operator()(LockFileHandle* h) const {
    free(h->path);
    delete h;
  }
};
typedef std::unique_ptr<LockFileHandle, HandleDeleter> HandlePtr;

// One lock file this process holds locks on, found by device and inode so that
// different spellings of the same path share it.
struct HeldLockFile {
  dev_t dev;
  ino_t ino;
  FILE* stream;
  int sharedHolders;
  int exclusiveHolders;
  // Streams opened on this file by a racing create: they stay open until the
  // entry closes, since closing them early would drop the locks.
  std::vector<FILE*> extraStreams;
};

class HeldLockFiles {
 public:
  std::mutex mutex;

  // The table as seen by the calling process: a child made by fork holds none of
  // its parent's locks, so it forgets the inherited entries.
  std::vector<std::unique_ptr<HeldLockFile>>& Entries() {
    if (owner != getpid()) {
      for (auto& held : entries) CloseStreams(*held);
      entries.clear();
      owner = getpid();
    }
    return entries;
  }

  HeldLockFile* Find(dev_t dev, ino_t ino) {
    for (auto& held : Entries())
      if (held->dev == dev && held->ino == ino) return held.get();
    return nullptr;
  }

  HeldLockFile* FindByStream(FILE* stream) {
    for (auto& held : Entries())
      if (held->stream == stream) return held.get();
    return nullptr;
  }

  // Takes an open lock file into the table (or into its existing entry).
  HeldLockFile* Adopt(FILE* stream) {
    struct stat st;
    memset(&st, 0, sizeof st);
    if (fstat(fileno(stream), &st) == 0) {
      if (HeldLockFile* held = Find(st.st_dev, st.st_ino)) {
        held->extraStreams.push_back(stream);
        return held;
      }
    }
    Entries().push_back(std::unique_ptr<HeldLockFile>(
        new HeldLockFile{st.st_dev, st.st_ino, stream, 0, 0, {}}));
    return Entries().back().get();
  }

  // Closes the entry's streams and forgets it; ZaFalse when a close failed.
  ZaBoolean Close(HeldLockFile* held) {
    ZaBoolean ok = CloseStreams(*held);
    auto& list = Entries();
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (it->get() == held) {
        list.erase(it);
        break;
      }
    }
    return ok;
  }

 private:
  static ZaBoolean CloseStreams(HeldLockFile& held) {
    ZaBoolean ok = fclose(held.stream) == 0 ? ZaTrue : ZaFalse;
    for (FILE* extra : held.extraStreams) fclose(extra);
    return ok;
  }

  std::vector<std::unique_ptr<HeldLockFile>> entries;
  pid_t owner = getpid();
};

HeldLockFiles& Table() {
  static HeldLockFiles table;
  return table;
}

String ProcessText() { return String("Process ") + String(static_cast<int>(getpid())); }

[[noreturn]] void Raise(ZaError* e, int line, const String& message) {
  e->AddLine(line, kSource, message, ZaFalse);
  throw e;
}

[[noreturn]] void Raise(int line, const String& message) { Raise(new ZaError(), line, message); }

// Adds the system's error text, when there is one, as a line of its own.
ZaError* ErrorWithSystemText(int line) {
  ZaError* e = new ZaError();
  if (char* text = ZaGetLastErrorString()) {
    e->AddLine(line, kSource, text, ZaFalse);
    free(text);
  }
  return e;
}

// The system's text is taken first, while errno still describes the failure.
[[noreturn]] void RaiseCreateFailure(const char* path) {
  ZaError* e = ErrorWithSystemText(232);
  Raise(e, 239, ProcessText() + " error creating new lock file " + path);
}

FILE* OpenOrCreate(const char* path) {
  if (!path) {
    errno = EINVAL;
    RaiseCreateFailure(path);
  }
  FILE* stream = fopen(path, "r+e");
  if (stream) return stream;
  if (errno != ENOENT) RaiseCreateFailure(path);
  stream = fopen(path, "w+e");
  if (!stream) RaiseCreateFailure(path);
  // Other users' processes must be able to lock it too, whatever our umask.
  if (fchmod(fileno(stream), 0666) != 0) {
    fclose(stream);
    Raise(246, String("Unable to change the permission on the lock file - ") + path);
  }
  return stream;
}

void Grab(const char* lockFile, ZaBoolean wait, ZaLockType type, void** handle) {
  HandlePtr h(new LockFileHandle{strdup(lockFile ? lockFile : ""), nullptr, type != 0 ? ZaTrue : ZaFalse});
  std::lock_guard<std::mutex> guard(Table().mutex);

  HeldLockFile* held = nullptr;
  struct stat st;
  if (lockFile && stat(lockFile, &st) == 0) held = Table().Find(st.st_dev, st.st_ino);
  if (!held) held = Table().Adopt(OpenOrCreate(lockFile));

  // The process holds one lock per file: exclusive while any of its handles
  // asked for exclusive, shared otherwise.
  bool holding = held->sharedHolders + held->exclusiveHolders > 0;
  bool needExclusive = h->exclusive == ZaTrue && held->exclusiveHolders == 0;
  if (!holding || needExclusive) {
    if (ZaLockFileUnix(fileno(held->stream), wait, needExclusive ? ZaExclusiveLock : ZaSharedLock) != ZaTrue) {
      if (!holding) Table().Close(held);
      Raise(255, ProcessText() + " error locking file " + lockFile);
    }
  }
  (h->exclusive == ZaTrue ? held->exclusiveHolders : held->sharedHolders)++;
  h->stream = held->stream;
  *handle = h.release();
}

void Release(LockFileHandle* h, ZaBoolean wait) {
  String path(h ? h->path : nullptr);
  if (!h || !h->stream)
    Raise(324, ProcessText() + " error unlocking file" + path + " - File pointer is NULL");

  std::lock_guard<std::mutex> guard(Table().mutex);
  HeldLockFile* held = Table().FindByStream(h->stream);
  if (!held) Raise(331, ProcessText() + " error unlocking file " + path);

  (h->exclusive == ZaTrue ? held->exclusiveHolders : held->sharedHolders)--;
  int fd = fileno(held->stream);
  if (held->sharedHolders + held->exclusiveHolders > 0) {
    // Other handles of this process still hold the file: keep the lock, only
    // step down to shared once no exclusive holder is left.
    if (h->exclusive == ZaTrue && held->exclusiveHolders == 0 &&
        ZaLockFileUnix(fd, wait, ZaSharedLock) != ZaTrue)
      Raise(331, ProcessText() + " error unlocking file " + path);
    return;
  }

  ZaBoolean unlocked = ZaUnlockFileUnix(fd, wait);
  // The stream is closed even when unlocking failed: closing drops the lock too.
  errno = 0;
  ZaBoolean closed = Table().Close(held);
  if (unlocked != ZaTrue) Raise(331, ProcessText() + " error unlocking file " + path);
  if (closed != ZaTrue) {
    ZaError* e = ErrorWithSystemText(339);
    Raise(e, 345, ProcessText() + " error closing lock file " + path);
  }
}

ZaBoolean SetLock(int fd, ZaBoolean wait, short kind) {
  if (lseek(fd, 0, SEEK_SET) < 0) return ZaFalse;
  struct flock lock;
  memset(&lock, 0, sizeof lock);
  lock.l_type = kind;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end of the file, however it grows
  int result;
  do {
    result = fcntl(fd, wait == ZaTrue ? F_SETLKW : F_SETLK, &lock);
  } while (result != 0 && errno == EINTR && wait == ZaTrue);
  return result == 0 ? ZaTrue : ZaFalse;
}

}  // namespace

ZaBoolean ZaLockFileUnix(int fd, ZaBoolean wait, ZaLockType type) {
  return SetLock(fd, wait, type == 0 ? F_RDLCK : F_WRLCK);
}

ZaBoolean ZaUnlockFileUnix(int fd, ZaBoolean wait) { return SetLock(fd, wait, F_UNLCK); }

void ZaLockFileGrab(const char* lockFile, ZaBoolean wait, ZaLockType type, void** handle) {
  try {
    Grab(lockFile, wait, type, handle);
  } catch (ZaError* e) {
    e->AddLine(267, kSource, "Exception rethrown in ZaLockFileGrab", ZaFalse);
    throw;
  }
}

void ZaLockFileRelease(void* handle, ZaBoolean wait) {
  HandlePtr h(static_cast<LockFileHandle*>(handle));
  try {
    Release(h.get(), wait);
  } catch (ZaError* e) {
    e->AddLine(369, kSource, "Exception rethrown in ZaLockFileRelease", ZaFalse);
    throw;
  }
}

ZaLockFileGuard::ZaLockFileGuard(const char* lockFile, ZaLockType type) : handle(nullptr) {
  ZaLockFileGrab(lockFile, ZaTrue, type, &handle);
}

ZaLockFileGuard::~ZaLockFileGuard() {
  try {
    Release();
  } catch (ZaError* e) {
    delete e;  // a destructor cannot pass the error on
  }
}

void ZaLockFileGuard::Release() {
  void* h = handle;
  handle = nullptr;
  if (h) ZaLockFileRelease(h, ZaTrue);
}
