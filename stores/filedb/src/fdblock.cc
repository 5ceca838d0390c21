#include "fdblock.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "fdbrecords.h"

static const char kSource[] = "stores/filedb/src/fdblock";

// One lock file as this process holds it.
struct FdbHeldLock {
  int fd;
  int shared = 0, exclusive = 0;  // guards holding it, by the kind they asked for
};

namespace {

class HeldLocks {
 public:
  static HeldLocks& Get() {
    static HeldLocks* locks = [] {
      // A child made by fork holds none of its parent's locks: it starts
      // with no holders (the inherited descriptors stay usable). The table
      // is kept still across the fork so that the child's copy is whole.
      pthread_atfork([] { Get().mutex.lock(); }, [] { Get().mutex.unlock(); },
                     [] {
                       for (auto& held : Get().files) held->shared = held->exclusive = 0;
                       Get().mutex.unlock();
                     });
      return new HeldLocks;  // lives as long as the descriptors it keeps open
    }();
    return *locks;
  }

  std::mutex mutex;

  // The entry of the lock file, opening (and creating) it on first use.
  FdbHeldLock* Find(const std::string& path) {
    auto known = byPath.find(path);
    if (known != byPath.end()) return known->second;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
      std::string why = strerror(errno);
      if (fd >= 0) close(fd);
      FdbFail(__LINE__, kSource, "Unable to open the lock file " + path + ": " + why, 3);
    }
    // Other users' processes must be able to lock it too, whatever our umask.
    if ((st.st_mode & 0666) != 0666) (void)fchmod(fd, 0666);
    std::pair<dev_t, ino_t> id(st.st_dev, st.st_ino);
    auto same = byFile.find(id);
    FdbHeldLock* held;
    if (same != byFile.end()) {
      close(fd);  // nothing is locked through it yet, so closing drops nothing
      held = same->second;
    } else {
      files.emplace_back(new FdbHeldLock{fd});
      held = files.back().get();
      byFile[id] = held;
    }
    byPath[path] = held;
    return held;
  }

 private:
  std::vector<std::unique_ptr<FdbHeldLock>> files;
  std::map<std::string, FdbHeldLock*> byPath;
  std::map<std::pair<dev_t, ino_t>, FdbHeldLock*> byFile;
};

bool SetLock(int fd, short kind) {
  struct flock lock;
  memset(&lock, 0, sizeof lock);
  lock.l_type = kind;
  lock.l_whence = SEEK_SET;  // the whole file, however it grows
  int result;
  do {
    result = fcntl(fd, F_SETLKW, &lock);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

}  // namespace

FdbLockGuard::FdbLockGuard(const std::string& lockFile, ZaLockType type)
    : held(nullptr), exclusive(type != ZaSharedLock) {
  HeldLocks& locks = HeldLocks::Get();
  std::lock_guard<std::mutex> guard(locks.mutex);
  FdbHeldLock* h = locks.Find(lockFile);
  bool holding = h->shared + h->exclusive > 0;
  bool upgrade = exclusive && h->exclusive == 0;
  if ((!holding || upgrade) && !SetLock(h->fd, exclusive ? F_WRLCK : F_RDLCK))
    FdbFail(__LINE__, kSource, "Unable to lock " + lockFile + ": " + strerror(errno));
  ++(exclusive ? h->exclusive : h->shared);
  held = h;
}

FdbLockGuard::~FdbLockGuard() {
  HeldLocks& locks = HeldLocks::Get();
  std::lock_guard<std::mutex> guard(locks.mutex);
  --(exclusive ? held->exclusive : held->shared);
  // Unlocking whole-file record locks cannot fail on a good descriptor, and a
  // destructor could not report it: the results are not checked.
  if (held->shared + held->exclusive == 0)
    SetLock(held->fd, F_UNLCK);
  else if (exclusive && held->exclusive == 0)
    SetLock(held->fd, F_RDLCK);  // the remaining guards asked only to read
}
