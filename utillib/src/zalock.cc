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

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const char kSource[] = "utillib/src/zalock";
// The longest a request waits for a lock held by another process.
const int kLockWaitSeconds = 10;

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
  // Readable and writable by the installation's user and group; the umask
  // may narrow it further. Nobody else needs to lock the suite's files.
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0660);
  if (fd < 0 || !(stream = fdopen(fd, "w+e"))) {
    if (fd >= 0) close(fd);
    RaiseCreateFailure(path);
  }
  return stream;
}

// Refuses the grab with a message for the operator: a lock that another
// process keeps for this long means that process is stuck, and the request
// had better fail visibly than hang until the web server gives up on it.
[[noreturn]] void RaiseLockTimeout(const char* path) {
  ZaError* e = new ZaError();
  e->level = 4;
  e->AddLine(251, kSource, ProcessText() + " gave up waiting for the lock file " + path, ZaFalse);
  e->AddLine(252, kSource,
             String("The console is busy: a shared file stayed locked for more than ") +
                 String(kLockWaitSeconds) + " seconds. Nothing was changed; please try again.",
             ZaTrue);
  throw e;
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
      const bool timedOut = wait == ZaTrue && (errno == EAGAIN || errno == EACCES);
      if (!holding) Table().Close(held);
      if (timedOut) RaiseLockTimeout(lockFile);
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
  if (wait != ZaTrue || kind == F_UNLCK) return fcntl(fd, F_SETLK, &lock) == 0 ? ZaTrue : ZaFalse;
  // A bounded wait: polled, with pauses growing to 50 ms, so that no signal
  // handler or timer of the process is disturbed.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kLockWaitSeconds);
  auto pause = std::chrono::milliseconds(1);
  while (fcntl(fd, F_SETLK, &lock) != 0) {
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) return ZaFalse;
    if (std::chrono::steady_clock::now() >= deadline) {
      errno = EAGAIN;
      return ZaFalse;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  return ZaTrue;
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
