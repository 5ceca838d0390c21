// The suite's shared log file: one line per message ("time:application:
// level:message"), appended under an exclusive lock file so that processes
// never interleave. A buffered log gathers a request's messages in a private
// temporary file and appends them in one piece when it is closed.
#ifndef ZALOG_H
#define ZALOG_H

#include "zaconfigDB.h"
#include "zaerror.h"

#include <cstdio>

// One line of a log file read back. Texts are malloc'd and owned by the
// record; a blank field is null. Deleting the first record deletes the chain.
struct LogRecord {
  char* time = nullptr;
  char* application = nullptr;
  char* level = nullptr;
  char* message = nullptr;
  LogRecord* next = nullptr;

  LogRecord() = default;
  LogRecord(const LogRecord&) = delete;
  LogRecord& operator=(const LogRecord&) = delete;
  ~LogRecord();
};

class ZaLog {
 public:
  // Copies both texts. A buffered log opens its private buffer file with
  // the first message it keeps; a request that logs nothing makes none.
  ZaLog(const char* application, ZaLogLevel level, const char* logFile,
        ZaBoolean buffered = ZaFalse);
  ZaLog(const ZaLog&) = delete;
  ZaLog& operator=(const ZaLog&) = delete;
  ~ZaLog();  // Close(), so buffered messages reach the log file

  // Drops messages below the threshold; true.
  ZaBoolean AddMsg(ZaLogLevel level, const char* message);
  ZaBoolean Flush();
  // Moves the buffered lines into the log file; afterwards each message goes
  // straight to the file.
  ZaBoolean Close();
  // The lines of the log (null path) or of another file such as an archive,
  // in file order; the caller deletes the chain. Null when there is none.
  LogRecord* ReadLogFile(const char* path);
  // Moves the log to archiveName, or to its path + ".dd_Mon_HH_MM" when that
  // is null; an archive of that name already there gets the log's lines
  // appended, so nothing is ever overwritten. Returns the archive's name
  // (malloc'd, the caller frees) or null.
  char* ArchiveLogFile(const char* archiveName);
  // Empties the log file, creating it if needed; true when it could be opened.
  ZaBoolean PurgeLogFile();
  // Size in bytes; 0 when there is no such file.
  long LogFileSize();

 private:
  ZaLogLevel level;
  char* application;
  const char* format;
  char* logFile;
  char* bufferFile;
  FILE* buffer;
  bool bufferPending;  // buffered, and the buffer file is still to be made
};

#endif
