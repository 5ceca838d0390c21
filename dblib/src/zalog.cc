// The shared log file: appending (directly or through a private buffer file),
// reading back, archiving and emptying, each under the log-file thread lock
// and then the log's lock file.
#include "zalog.h"

#include "owners.h"
#include "zaaudit.h"
#include "zaprivfile.h"
#include "stringutil.h"
#include "zaerror.h"
#include "zafile.h"
#include "zalock.h"
#include "zaport.h"
#include "zatime.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <memory>
#include <string>

namespace {

const char kSource[] = "dblib/src/zalog";
const char kLineFormat[] = "%s:%s:%s:%s\n";
// Several tries, since a name from the temporary-name generator may be taken
// by the time the file is created.
const int kBufferFileTries = 8;

[[noreturn]] void Rethrow(ZaError* e, int line, const std::string& message) {
  e->AddLine(line, kSource, message.c_str(), ZaFalse);
  throw e;
}

// The process-wide log-file lock between threads.
class LogThreadLock {
 public:
  LogThreadLock() { ZaThreadLockLogFile(); }
  ~LogThreadLock() { ZaThreadUnlockLogFile(); }
  LogThreadLock(const LogThreadLock&) = delete;
  LogThreadLock& operator=(const LogThreadLock&) = delete;
};

char* CopyOrNull(const char* s) { return s != nullptr ? strdup(s) : nullptr; }


// Creates a new private file for the buffered messages; its name comes back
// through *name. Null when no file could be created.
FILE* OpenBufferFile(char** name) {
  for (int i = 0; i < kBufferFileTries; ++i) {
    MallocText candidate(ZaGetTmpFileName());
    if (candidate == nullptr) return nullptr;
    int fd = open(candidate.get(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0) continue;
    FILE* f = fdopen(fd, "w+");
    if (f == nullptr) {
      close(fd);
      unlink(candidate.get());
      return nullptr;
    }
    *name = candidate.release();
    return f;
  }
  return nullptr;
}

// The log file opened for appending; created readable by the installation's
// user and group only. Null when it cannot be opened.
FILE* OpenForAppending(const char* path) {
  int fd = ZaOpenPrivateFile(path, O_WRONLY | O_APPEND | O_CREAT, 0640);
  FILE* f = fd >= 0 ? fdopen(fd, "a") : nullptr;
  if (f == nullptr && fd >= 0) close(fd);
  return f;
}

// One line "time:application:level:message". A line that AddMsg cannot have
// written keeps its whole text as the message, with the other fields absent,
// so that nothing of the file is hidden from the reader.
LogRecord* ParseLine(const char* line) {
  std::unique_ptr<LogRecord> record(new LogRecord());
  MallocText afterTime(StringGrabValAfterColon(line));
  MallocText afterApp(afterTime ? StringGrabValAfterColon(afterTime.get()) : nullptr);
  record->time = StringGrabValBeforeColon(line);
  record->application = afterTime ? StringGrabValBeforeColon(afterTime.get()) : nullptr;
  record->level = afterApp ? StringGrabValBeforeColon(afterApp.get()) : nullptr;
  if (record->time != nullptr && record->application != nullptr && record->level != nullptr) {
    record->message = StringGrabValAfterColon(afterApp.get());
    return record.release();
  }
  free(record->time);
  free(record->application);
  free(record->level);
  record->time = record->application = record->level = nullptr;
  record->message = StringGrabVal(line);
  return record.release();
}

}  // namespace

LogRecord::~LogRecord() {
  free(time);
  free(application);
  free(level);
  free(message);
  // The rest of the chain is freed in a loop, not by recursion, so that a
  // long log cannot exhaust the stack.
  LogRecord* rest = next;
  while (rest != nullptr) {
    LogRecord* following = rest->next;
    rest->next = nullptr;
    delete rest;
    rest = following;
  }
}

ZaLog::ZaLog(const char* app, ZaLogLevel threshold, const char* path, ZaBoolean buffered)
    : level(threshold),
      application(CopyOrNull(app)),
      format(kLineFormat),
      logFile(CopyOrNull(path)),
      bufferFile(nullptr),
      buffer(nullptr),
      bufferPending(buffered == ZaTrue) {}

ZaLog::~ZaLog() {
  // A destructor cannot pass an error on; the buffered messages are then lost.
  try {
    Close();
  } catch (ZaError* e) {
    delete e;
  }
  if (buffer != nullptr) fclose(buffer);
  if (bufferFile != nullptr) unlink(bufferFile);
  free(bufferFile);
  free(application);
  free(logFile);
}

ZaBoolean ZaLog::AddMsg(ZaLogLevel msgLevel, const char* message) {
  if (msgLevel < level) return ZaTrue;
  if (msgLevel > ZA_ERROR) msgLevel = ZA_ERROR;
  if (msgLevel < ZA_INFO) msgLevel = ZA_INFO;
  // Without a buffer file the log simply writes each message straight away.
  if (bufferPending) {
    buffer = OpenBufferFile(&bufferFile);
    bufferPending = false;
  }
  char now[100];
  ZaTime().GetCurrentTimeString(now, sizeof now);
  // One line whatever the message holds, short enough to be read back whole.
  const std::string line = ZaLogLine(now, application, ZaLogLevelStr[msgLevel], message);
  if (buffer != nullptr) {
    fputs(line.c_str(), buffer);
    return ZaTrue;
  }
  if (logFile == nullptr) return ZaTrue;
  try {
    LogThreadLock threadLock;
    ZaLockFileGuard fileLock((std::string(logFile) + ".lck").c_str(), ZaExclusiveLock);
    OwnedFile out(OpenForAppending(logFile));
    if (out) {
      fputs(line.c_str(), out.get());
      out.reset();
    }
    fileLock.Release();
  } catch (ZaError* e) {
    Rethrow(e, __LINE__, "Unable to add the message to the log file");
  }
  return ZaTrue;
}

ZaBoolean ZaLog::Flush() {
  if (buffer != nullptr) fflush(buffer);
  return ZaTrue;
}

ZaBoolean ZaLog::Close() {
  bufferPending = false;  // from now on messages go straight to the file
  if (buffer == nullptr) return ZaTrue;
  fflush(buffer);
  if (logFile != nullptr) {
    try {
      LogThreadLock threadLock;
      ZaLockFileGuard fileLock((std::string(logFile) + ".lck").c_str(), ZaExclusiveLock);
      OwnedFile out(OpenForAppending(logFile));
      if (out) {
        rewind(buffer);
        char piece[800];
        while (fgets(piece, sizeof piece, buffer) != nullptr) fputs(piece, out.get());
        out.reset();
      }
      fileLock.Release();
    } catch (ZaError* e) {
      Rethrow(e, __LINE__, std::string("Update of the master log file ") + logFile + " failed!");
    }
  }
  // A log file that cannot be opened loses the messages, as it does unbuffered.
  fclose(buffer);
  buffer = nullptr;
  unlink(bufferFile);
  free(bufferFile);
  bufferFile = nullptr;
  return ZaTrue;
}

LogRecord* ZaLog::ReadLogFile(const char* path) {
  const char* source = path != nullptr ? path : logFile;
  if (source == nullptr) return nullptr;
  std::unique_ptr<LogRecord> head;
  try {
    // The own log is read under the locks; an archive is no longer written.
    std::unique_ptr<LogThreadLock> threadLock;
    std::unique_ptr<ZaLockFileGuard> fileLock;
    if (path == nullptr) {
      threadLock.reset(new LogThreadLock());
      fileLock.reset(new ZaLockFileGuard((std::string(logFile) + ".lck").c_str(), ZaSharedLock));
    }
    OwnedFile in(fopen(source, "r"));
    if (!in) return nullptr;
    LogRecord* tail = nullptr;
    char line[1024];
    while (fgets(line, sizeof line, in.get()) != nullptr) {
      if (StringIsEmpty(line) == ZaTrue) continue;
      LogRecord* record = ParseLine(line);
      if (tail == nullptr) {
        head.reset(record);
      } else {
        tail->next = record;
      }
      tail = record;
    }
    in.reset();
    if (fileLock) fileLock->Release();
  } catch (ZaError* e) {
    Rethrow(e, __LINE__, "Unable to read the log file");
  }
  return head.release();
}

namespace {

// Appends the whole of the file at `from` to the file at `to`; true when
// every byte was written.
bool AppendFile(const char* from, const char* to) {
  OwnedFile in(fopen(from, "rb"));
  OwnedFile out(fopen(to, "ab"));
  if (!in || !out) return false;
  char block[65536];
  size_t n;
  while ((n = fread(block, 1, sizeof block, in.get())) > 0)
    if (fwrite(block, 1, n, out.get()) != n) return false;
  return !ferror(in.get()) && fclose(out.release()) == 0;
}

}  // namespace

// Never replaces an archive: the log gets the archive's name when that is
// free (a hard link, which fails rather than overwrite), and otherwise its
// lines are appended to the archive already there and the log is emptied.
// Both happen under the log's exclusive lock, so no line is written between.
char* ZaLog::ArchiveLogFile(const char* archiveName) {
  Close();
  if (logFile == nullptr) return nullptr;
  std::string target;
  if (archiveName != nullptr) {
    target = archiveName;
  } else {
    time_t now = time(nullptr);
    struct tm local;
    char suffix[64];
    localtime_r(&now, &local);
    strftime(suffix, sizeof suffix, ".%d_%b_%H_%M", &local);
    target = std::string(logFile) + suffix;
  }
  bool moved = false;
  try {
    LogThreadLock threadLock;
    ZaLockFileGuard fileLock((std::string(logFile) + ".lck").c_str(), ZaExclusiveLock);
    if (access(logFile, F_OK) == 0) {
      if (link(logFile, target.c_str()) == 0) {
        moved = unlink(logFile) == 0;
      } else if (errno == EEXIST && AppendFile(logFile, target.c_str())) {
        moved = truncate(logFile, 0) == 0;
      }
    }
    fileLock.Release();
  } catch (ZaError* e) {
    Rethrow(e, __LINE__, "Unable to read the log file");
  }
  return moved ? strdup(target.c_str()) : nullptr;
}

ZaBoolean ZaLog::PurgeLogFile() {
  Close();
  if (logFile == nullptr) return ZaFalse;
  bool opened = false;
  try {
    LogThreadLock threadLock;
    ZaLockFileGuard fileLock((std::string(logFile) + ".lck").c_str(), ZaExclusiveLock);
    int fd = ZaOpenPrivateFile(logFile, O_WRONLY | O_TRUNC | O_CREAT, 0640);
    opened = fd >= 0;
    if (opened) close(fd);
    fileLock.Release();
  } catch (ZaError* e) {
    Rethrow(e, __LINE__, std::string("Purge of the log file ") + logFile + " failed!");
  }
  return opened ? ZaTrue : ZaFalse;
}

long ZaLog::LogFileSize() {
  if (logFile == nullptr) return 0;
  return static_cast<long>(ZaGetFileSize(logFile));
}
