// File and directory utilities.
#include "zafile.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <string>

#include "vallist.h"

namespace {

const char kSource[] = "utillib/src/zafile";

[[noreturn]] void Raise(int line, const String& message) {
  ZaError* e = new ZaError();
  e->AddLine(line, kSource, message, ZaFalse);
  throw e;
}

// Owns a file descriptor.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
typedef std::unique_ptr<DIR, DirCloser> DirPtr;

// Remembers the working directory and returns to it when it goes out of scope,
// so that a tree walk that fails half way still leaves the process where it
// was: every relative path of the system depends on it. The directory is held
// open rather than by name, so it is found again however long its path is; a
// path-only descriptor needs no read permission on it, only the right to enter.
class WorkingDirectoryGuard {
 public:
  explicit WorkingDirectoryGuard(int failureLine) : dir_(open(".", O_PATH | O_DIRECTORY | O_CLOEXEC)) {
    if (dir_.get() < 0) Raise(failureLine, "Cannot determine the current working directory");
  }
  ~WorkingDirectoryGuard() { Restore(); }
  WorkingDirectoryGuard(const WorkingDirectoryGuard&) = delete;
  WorkingDirectoryGuard& operator=(const WorkingDirectoryGuard&) = delete;

  // False only when the directory we came from can no longer be entered.
  bool Restore() { return fchdir(dir_.get()) == 0; }

 private:
  Fd dir_;
};

std::unique_ptr<ValList> Entries(const char* dir) { return std::unique_ptr<ValList>(ZaGetDirEntries(dir)); }

ZaBoolean StatIs(const char* path, mode_t kind) {
  struct stat st;
  return path && stat(path, &st) == 0 && (st.st_mode & S_IFMT) == kind ? ZaTrue : ZaFalse;
}

// Writes all of buf, resuming after partial writes.
bool WriteAll(int fd, const char* buf, ssize_t size) {
  while (size > 0) {
    ssize_t written = write(fd, buf, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    buf += written;
    size -= written;
  }
  return true;
}

void ReportProgress(ZaProgressCallback callback, void* data, int count) {
  if (!callback) return;
  CallbackProgress progress;
  progress.Init(count, nullptr, nullptr);
  callback(data, &progress);
}

}  // namespace

ZaBoolean ZaCheckIfFile(const char* path) { return StatIs(path, S_IFREG); }

ZaBoolean ZaCheckIfDirectory(const char* path) { return StatIs(path, S_IFDIR); }

ZaBoolean ZaCheckIfDirectoryAndCreate(const char* path, unsigned long mode) {
  if (ZaCheckIfDirectory(path) == ZaTrue) return ZaTrue;
  return ZaMkdir(path, mode, ZaFalse);
}

ZaBoolean ZaMkdir(const char* path, unsigned long mode, ZaBoolean existsOk) {
  if (!path) return ZaFalse;
  if (mkdir(path, static_cast<mode_t>(mode)) == 0) return ZaTrue;
  return errno == EEXIST && existsOk == ZaTrue ? ZaTrue : ZaFalse;
}

long long ZaGetFileSize(const char* path) {
  struct stat st;
  if (!path || stat(path, &st) != 0) return 0;
  return st.st_size;
}

long ZaGetTimeStamp(const char* path) {
  struct stat st;
  if (!path || stat(path, &st) != 0) return 0;
  return st.st_mtime;
}

ValList* ZaGetDirEntries(const char* dir) {
  ValList* names = new ValList();
  DirPtr d(dir ? opendir(dir) : nullptr);
  if (!d) return names;
  while (struct dirent* entry = readdir(d.get())) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    names->Append(entry->d_name);
  }
  return names;
}

// Symbolic links are measured and removed as links, never followed: a link to
// a directory would otherwise be counted twice, could lead round in a circle,
// or would make ZaRemoveDir empty a tree outside the one it was given.
long long ZaGetDirSize(const char* dir) {
  try {
    WorkingDirectoryGuard back(38);
    if (!dir || chdir(dir) != 0) Raise(43, String("Unable to change directory to ") + dir);
    long long total = 0;
    std::unique_ptr<ValList> names = Entries(".");
    for (ValListItem* item = names->head; item; item = item->next) {
      struct stat st;
      if (lstat(item->value, &st) != 0)
        Raise(52, String("Error occured while trying to compute disk usage for user ") + item->value);
      total += S_ISDIR(st.st_mode) ? ZaGetDirSize(item->value) : static_cast<long long>(st.st_size);
    }
    return total;
  } catch (ZaError* e) {
    e->AddLine(69, kSource, "Unable to determine the size of the directory", ZaFalse);
    throw;
  }
}

ZaBoolean ZaRemoveDir(const char* dir) {
  try {
    WorkingDirectoryGuard back(87);
    if (!dir) return ZaTrue;
    if (chdir(dir) != 0) {
      if (errno == ENOENT) return ZaTrue;
      Raise(95, String("Unable to change directory to ") + dir);
    }
    std::unique_ptr<ValList> names = Entries(".");
    for (ValListItem* item = names->head; item; item = item->next) {
      struct stat st;
      if (lstat(item->value, &st) == 0 && S_ISDIR(st.st_mode))
        ZaRemoveDir(item->value);
      else
        unlink(item->value);
    }
    back.Restore();
    rmdir(dir);  // a directory that could not be emptied simply stays
    return ZaTrue;
  } catch (ZaError* e) {
    e->AddLine(123, kSource, "Unable to remove the directory", ZaFalse);
    throw;
  }
}

// A failed write makes the copy fail: ZaMoveFile removes the source only after
// a copy that reported success.
ZaBoolean ZaFileCopy(const char* from, const char* to, unsigned long mode) {
  if (!from || !to) return ZaFalse;
  Fd in(open(from, O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return ZaFalse;
  Fd out(open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(mode)));
  if (out.get() < 0) return ZaFalse;
  char block[4096];
  for (;;) {
    ssize_t got = read(in.get(), block, sizeof block);
    if (got == 0) return ZaTrue;
    if (got < 0) {
      if (errno == EINTR) continue;
      return ZaFalse;
    }
    if (!WriteAll(out.get(), block, got)) return ZaFalse;
  }
}

ZaBoolean ZaFileCopy(const char* from, const char* to) { return ZaFileCopy(from, to, 0644); }

ZaBoolean ZaMoveFile(const char* from, const char* to) {
  if (ZaFileCopy(from, to, 0666) != ZaTrue) return ZaFalse;
  return unlink(from) == 0 ? ZaTrue : ZaFalse;
}

ZaBoolean ZaRemoveFile(const char* path) { return path && unlink(path) == 0 ? ZaTrue : ZaFalse; }

ZaBoolean ZaReadFileIntoBuf(FILE* f, char* buf, int size, int* got) {
  *got = 0;
  if (!f || !buf || size <= 0) return ZaFalse;  // nothing to read from or into
  size_t n = fread(buf, 1, static_cast<size_t>(size), f);
  if (n > 0) {
    *got = static_cast<int>(n);
    return ZaTrue;
  }
  if (feof(f)) return ZaFalse;
  Raise(308, String("Error in fread : ") + String(ferror(f)));
}

char* ZaGetTmpdir() {
  // An empty TMPDIR names no directory, so it counts as unset.
  const char* dir = getenv("TMPDIR");
  return strdup(dir && *dir ? dir : "/tmp");
}

// A name in the temporary directory, the process id and six random characters,
// that names nothing yet; null when no free name turns up. Creating the file is
// up to the caller, as the name alone is handed back.
char* ZaGetTmpFileName() {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::unique_ptr<char, decltype(&free)> dir(ZaGetTmpdir(), &free);
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
  for (int attempt = 0; attempt < 100; attempt++) {
    std::string name = std::string(dir.get()) + "/" + std::to_string(getpid());
    for (int i = 0; i < 6; i++) name += kChars[pick(random)];
    struct stat st;
    if (lstat(name.c_str(), &st) != 0 && errno == ENOENT) return strdup(name.c_str());
  }
  return nullptr;
}

ZaBoolean ZaIsCurBinDir() {
  std::unique_ptr<char, decltype(&free)> cwd(getcwd(nullptr, 0), &free);
  if (!cwd) return ZaTrue;
  const char* last = strrchr(cwd.get(), '\\');
  if (!last) return ZaTrue;
  return strcmp(last, "\\bin") == 0 ? ZaTrue : ZaFalse;
}

// Only subdirectories are descended into; other kinds of entry (devices, pipes,
// sockets) are skipped rather than failing the whole copy.
ZaBoolean ZaDirCopy(const char* from, const char* to, ZaBoolean recursive,
                    ZaProgressCallback callback, void* data, int count) {
  DirPtr d(from && to ? opendir(from) : nullptr);
  if (!d) return ZaFalse;
  while (struct dirent* entry = readdir(d.get())) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    std::string source = std::string(from) + "/" + entry->d_name;
    std::string target = std::string(to) + "/" + entry->d_name;
    if (ZaCheckIfFile(source.c_str()) == ZaTrue) {
      if (ZaFileCopy(source.c_str(), target.c_str(), 0644) != ZaTrue) return ZaFalse;
      if (++count % 25 == 0) ReportProgress(callback, data, count);
    } else if (recursive == ZaTrue && ZaCheckIfDirectory(source.c_str()) == ZaTrue) {
      if (ZaCheckIfDirectoryAndCreate(target.c_str(), 0777) != ZaTrue) return ZaFalse;
      // Files copied below are reported by the nested call, not counted here.
      if (ZaDirCopy(source.c_str(), target.c_str(), recursive, callback, data, count) != ZaTrue)
        return ZaFalse;
    }
  }
  if (count % 25 != 0) ReportProgress(callback, data, count);
  return ZaTrue;
}
