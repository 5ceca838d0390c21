// The configuration database: the settings file with its typed settings and
// built-in defaults, and the side files of the configuration folder.
#include "zaconfigDB.h"

#include "owners.h"
#include "stringutil.h"
#include "vallist.h"
#include "zacrypt.h"
#include "zaerror.h"
#include "zafile.h"
#include "zalock.h"
#include "zaport.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

const char* const ZaLogLevelStr[4] = {"ZA_INFO", "ZA_AUDIT", "ZA_WARNING", "ZA_ERROR"};
const char* const ZaLogLevelDisplayStr[4] = {"INFO", "AUDIT", "WARNING", "ERROR"};
const char* const ZaPhotoStyleStr[2] = {"ZA_VARIABLE", "ZA_FIXED"};
const char* const ZaDBFormatStr[3] = {"ZA_ZARVO", "ZA_LDAP", "ZA_SQL"};

namespace fs = std::filesystem;

namespace {

const char kSource[] = "dblib/src/zaconfigDB";

// Until a site configures its own, bug reports and feedback go to the
// maintainers' mailboxes on the web server itself.
char kBuiltInBugReportAddr[] = "zarvo-bugs@localhost";
char kBuiltInFeedbackAddr[] = "zarvo-feedback@localhost";
// Results of getters whose key is missing; writable arrays because the
// getters hand out char* like the stored texts.
char kDefaultStyleName[] = "style0";
char kDefaultOnlyValue[] = "FALSE";
char kEmptyDbName[] = "";
char kEmptyPrimaryKey[] = "";
char kEmptyEmpTbl[] = "";
char kEmptyPhotoTable[] = "";
char kEmptyPhotoCol[] = "";
const int kDefaultSessionTimeOut = 10800;

struct MimeRow {
  const char* ext;
  const char* type;
};

const MimeRow mimeMapping[] = {
    {"bin", "application/octet-stream"}, {"exe", "application/octet-stream"},
    {"oda", "application/pdf"},          {"ai", "application/postscript"},
    {"eps", "application/postscript"},   {"ps", "application/postscript"},
    {"rtf", "application/rtf"},          {"mif", "application/x-mif"},
    {"csh", "application/x-csh"},        {"dvi", "application/x-dvi"},
    {"hdf", "application/x-hdf"},        {"latex", "application/x-latex"},
    {"nc", "application/x-netcdf"},      {"cdf", "application/x-netcdf"},
    {"sh", "application/x-sh"},          {"tcl", "application/x-tcl"},
    {"tex", "application/x-tex"},        {"texinfo", "application/x-texinfo"},
    {"texi", "application/x-texinfo"},   {"t", "application/x-troff"},
    {"tr", "application/x-troff"},       {"roff", "application/x-troff"},
    {"man", "application/x-troff-man"},  {"me", "application/x-troff-me"},
    {"ms", "application/x-troff-ms"},    {"src", "application/x-wais-src"},
    {"zip", "application/zip"},          {"gtar", "application/x-gtar"},
    {"shar", "application/x-shar"},      {"tar", "application/x-tar"},
    {"hqx", "application/mac-binhex40"}, {"au", "audio/basic"},
    {"snd", "audio/basic"},              {"aif", "audio/x-aiff"},
    {"aiff", "audio/x-aiff"},            {"aifc", "audio/x-aiff"},
    {"wav", "audio/x-wav"},              {"gif", "image/gif"},
    {"ief", "image/ief"},                {"jpeg", "image/jpeg"},
    {"jpg", "image/jpeg"},               {"jpe", "image/jpeg"},
    {"tiff", "image/tiff"},              {"tif", "image/tiff"},
    {"ras", "image/x-cmu-raster"},       {"pnm", "image/x-portable-anymap"},
    {"pbm", "image/x-portable-bitmap"},  {"pgm", "image/x-portable-graymap"},
    {"ppm", "image/x-portable-pixmap"},  {"rgb", "image/x-rgb"},
    {"xbm", "image/x-xbitmap"},          {"xpm", "image/x-xpixmap"},
    {"xwd", "image/x-xwindowdump"},      {"htm", "text/html"},
    {"html", "text/html"},               {"txt", "text/plain"},
    {"rxt", "text/richtext"},            {"tsv", "text/tab-separated-values"},
    {"etx", "text/x-setext"},            {"mpeg", "video/mpeg"},
    {"mpg", "video/mpeg"},               {"mpe", "video/mpeg"},
    {"qt", "video/quicktime"},           {"mov", "video/quicktime"},
    {"avi", "video/x-msvideo"},          {"movie", "video/x-sgi-movie"},
    {"doc", "application/msword"},       {"ppt", "application/mspowerpoint"},
    {"xls", "application/msexcel"},      {"xlw", "application/msexcel"},
};

const char* const kPasswordKeys[] = {ZaCLDAPRootPasswd, ZaCSQLSUserPasswd};

[[noreturn]] void Raise(int line, const std::string& message) {
  ZaError* e = new ZaError();
  e->AddLine(line, kSource, message.c_str(), ZaFalse);
  throw e;
}

[[noreturn]] void Rethrow(ZaError* e, int line, const std::string& message) {
  e->AddLine(line, kSource, message.c_str(), ZaFalse);
  throw e;
}

// The object's read/write lock between threads, taken only when asked for.
class ThreadLockGuard {
 public:
  ThreadLockGuard(void* lockObject, ZaLockType type, ZaBoolean wanted = ZaTrue)
      : lock(lockObject), held(wanted == ZaTrue && ZaThreadLock(lockObject, type) == ZaTrue) {}
  ~ThreadLockGuard() { Release(); }
  ThreadLockGuard(const ThreadLockGuard&) = delete;
  ThreadLockGuard& operator=(const ThreadLockGuard&) = delete;
  bool Held() const { return held; }
  ZaBoolean Release() {
    if (!held) return ZaTrue;
    held = false;
    return ZaThreadUnlock(lock);
  }

 private:
  void* lock;
  bool held;
};

// Replaces each password value by what transform makes of it (scrambled or
// plain); the transforms return malloc'd text.
template <typename Transform>
void TransformPasswords(ValNameList* list, Transform transform) {
  for (const char* key : kPasswordKeys) {
    ValNameListItem* item = list->Lookup(key);
    if (item == nullptr || item->value == nullptr || item->value[0] == '\0') continue;
    MallocText changed(transform(item->value));
    list->Replace(key, changed.get(), item->extra1, item->extra2, item->extra3);
  }
}

char* Scramble(const char* text) { return ZaCrypt().Encrypt(text); }
char* Unscramble(const char* text) { return ZaCrypt().Decrypt(text); }

// Writes a list file so that readers and a crash in the middle never leave a
// partial file behind: the text goes to a temporary file in the same folder,
// reaches the disk, and is renamed over the old file. With keepBackup the
// previous file stays reachable as path + ".bak".
template <typename List>
void WriteListFileSafely(const char* path, const List* list, ZaBoolean keepBackup) {
  std::string tmp = std::string(path) + ".tmpXXXXXX";
  int fd = mkstemp(&tmp[0]);
  if (fd < 0) Raise(__LINE__, std::string("Unable to create a temporary file for ") + path);
  struct stat old;
  // Settings may hold store passwords: never readable by other users.
  fchmod(fd, stat(path, &old) == 0 ? (old.st_mode & 0640) : 0640);
  FILE* f = fdopen(fd, "w");
  if (f == nullptr) {
    close(fd);
    unlink(tmp.c_str());
    Raise(__LINE__, std::string("Unable to open the temporary file ") + tmp);
  }
  try {
    list->Write(f);
  } catch (ZaError* e) {
    fclose(f);
    unlink(tmp.c_str());
    throw e;
  }
  bool written = fflush(f) == 0 && ferror(f) == 0 && fsync(fileno(f)) == 0;
  if (fclose(f) != 0) written = false;
  if (!written) {
    unlink(tmp.c_str());
    Raise(__LINE__, std::string("Unable to write the temporary file ") + tmp);
  }
  if (keepBackup == ZaTrue && ZaCheckIfFile(path) == ZaTrue) {
    // A hard link keeps the old generation without a moment in which the
    // settings file is missing (a copy serves where links are not possible),
    // and renaming it over the old backup leaves no moment without one.
    std::string bak = std::string(path) + ".bak";
    std::string newBak = bak + "." + std::to_string(getpid());
    unlink(newBak.c_str());
    if (link(path, newBak.c_str()) == 0 || ZaFileCopy(path, newBak.c_str()) == ZaTrue) {
      rename(newBak.c_str(), bak.c_str());
    }
  }
  if (rename(tmp.c_str(), path) != 0) {
    unlink(tmp.c_str());
    Raise(__LINE__, std::string("Unable to move the new file into place as ") + path);
  }
}

bool IsOneOf(const char* value, const char* name) {
  return value != nullptr && strcasecmp(value, name) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and the settings file

ZaConfigDB::ZaConfigDB(const char* file)
    : timeStamp(0),
      lockObject(ZaCreateLockObject()),
      fileName(strdup(file != nullptr ? file : kDefaultConfigFile)),
      entries(nullptr),
      modified(ZaFalse),
      topDir(nullptr) {
  // No destructor runs for an object whose constructor throws.
  auto releaseAll = [this] {
    free(fileName);
    free(topDir);
    delete entries;
    ZaDestroyLockObject(lockObject);
  };
  if (ZaCheckIfFile(fileName) != ZaTrue) {
    entries = new ValNameList();
    try {
      AddDefaultEntries();  // needs the top folder, which may not be found
    } catch (ZaError* e) {
      releaseAll();
      throw e;
    }
    return;
  }
  std::string failed = std::string("Failed trying to read the conf file ") + fileName;
  ZaBoolean ok = ZaFalse;
  try {
    ok = ReadFromFile();
  } catch (ZaError* e) {
    releaseAll();
    Rethrow(e, 129, failed);
  }
  if (ok != ZaTrue) {
    releaseAll();
    Raise(124, failed);
  }
}

ZaConfigDB::ZaConfigDB(const ZaConfigDB& other)
    : timeStamp(other.timeStamp),
      lockObject(ZaCreateLockObject()),
      fileName(strdup(other.fileName)),
      entries(other.entries != nullptr ? other.entries->Copy() : nullptr),
      modified(other.modified),
      topDir(other.topDir != nullptr ? strdup(other.topDir) : nullptr) {}

ZaConfigDB::~ZaConfigDB() {
  free(fileName);
  free(topDir);
  delete entries;
  ZaDestroyLockObject(lockObject);
}

ZaBoolean ZaConfigDB::ReadFromFile() {
  try {
    // One lock file guards the settings file, whatever its name.
    ZaLockFileGuard fileLock(kDefaultConfigFileLockFile, ZaSharedLock);
    delete entries;
    entries = new ValNameList();
    entries->Read(fileName, ZaTrue);
    if (entries->count == 0) {
      Raise(192, std::string("Corrupt config file ") + fileName + ". Read failed!");
    }
    TransformPasswords(entries, Unscramble);
    modified = ZaFalse;
    timeStamp = ZaGetTimeStamp(fileName);
    fileLock.Release();
  } catch (ZaError* e) {
    Rethrow(e, 228, std::string("Read of the config file ") + fileName + " failed!");
  }
  return ZaTrue;
}

ZaBoolean ZaConfigDB::WriteToFile() {
  if (modified != ZaTrue) return ZaTrue;
  try {
    ZaLockFileGuard fileLock(kDefaultConfigFileLockFile, ZaExclusiveLock);
    // The passwords are scrambled in a copy, so the entries in memory stay
    // usable should the writing fail.
    std::unique_ptr<ValNameList> onDisk(entries != nullptr ? entries->Copy() : new ValNameList());
    TransformPasswords(onDisk.get(), Scramble);
    WriteListFileSafely(fileName, onDisk.get(), ZaTrue);
    modified = ZaFalse;
    fileLock.Release();
    if (ZaCheckIfFile(mimeTypesFile) != ZaTrue) WriteMimeTypesFile();
    // Reading back restores the plain passwords and the new time stamp.
    return ReadFromFile();
  } catch (ZaError* e) {
    Rethrow(e, 299, std::string("Write to the config file ") + fileName + " failed!");
  }
}

ZaBoolean ZaConfigDB::Reload(ZaBoolean force) {
  if (force != ZaTrue && timeStamp >= ZaGetTimeStamp(fileName)) return ZaTrue;
  ThreadLockGuard lock(lockObject, ZaExclusiveLock);
  if (!lock.Held()) return ZaFalse;
  std::string failed = std::string("Failed trying to reload the conf file ") + fileName;
  ZaBoolean ok = ZaFalse;
  try {
    ok = ReadFromFile();
  } catch (ZaError* e) {
    lock.Release();
    Rethrow(e, 333, failed);
  }
  if (ok != ZaTrue) {
    lock.Release();
    Raise(327, failed);
  }
  return lock.Release();
}

char* ZaConfigDB::ReadValue(const char* key) {
  if (entries == nullptr) return nullptr;
  if (Reload(ZaFalse) != ZaTrue) return nullptr;
  ThreadLockGuard lock(lockObject, ZaSharedLock);
  ValNameListItem* item = entries->Lookup(key);
  return item != nullptr ? item->value : nullptr;
}

ZaBoolean ZaConfigDB::WriteValue(const char* key, const char* value, ZaBoolean lock) {
  ThreadLockGuard guard(lockObject, ZaExclusiveLock, lock);
  if (entries == nullptr) entries = new ValNameList();
  entries->Replace(key, value);
  modified = ZaTrue;
  return ZaTrue;
}

ZaBoolean ZaConfigDB::RemoveValue(const char* key, ZaBoolean lock) {
  ThreadLockGuard guard(lockObject, ZaExclusiveLock, lock);
  if (entries == nullptr) entries = new ValNameList();
  entries->Remove(key);
  modified = ZaTrue;
  return ZaTrue;
}

void ZaConfigDB::AddDefaultEntries() {
  MallocText logFile(GetDefaultLogFile());
  WriteValue(ZaCBugReportName, kBuiltInBugReportAddr, ZaFalse);
  WriteValue(ZaCFeedbackName, kBuiltInFeedbackAddr, ZaFalse);
  WriteValue(ZaCLogFileName, logFile.get(), ZaFalse);
  WriteValue(ZaCLogLevelName, ZaLogLevelStr[ZA_ERROR], ZaFalse);
  WriteValue(ZaCPhotoStyleName, ZaPhotoStyleStr[ZA_VARIABLE], ZaFalse);
  WriteValue(ZaCPhotoHeightName, "80", ZaFalse);
  WriteValue(ZaCPhotoWidthName, "60", ZaFalse);
  WriteValue(ZaCEmpDirDBFormatName, ZaDBFormatStr[ZA_ZARVO], ZaFalse);
  WriteValue(ZaCProjDBFormatName, ZaDBFormatStr[ZA_ZARVO], ZaFalse);
  // Defaults alone are never worth writing to disk.
  modified = ZaFalse;
}

char* ZaConfigDB::GetTopZarvoDir() {
  if (topDir == nullptr) {
    // Resolving the path, rather than changing into it and back, leaves the
    // process's working directory alone, on which every relative path rests.
    char resolved[PATH_MAX];
    if (realpath("../../..", resolved) == nullptr) {
      Raise(877, "Unable to determine the top zarvo directory!");
    }
    topDir = strdup(resolved);
  }
  return topDir;
}

char* ZaConfigDB::GetDefaultLogFile() {
  std::string path = std::string(GetTopZarvoDir()) + "/logs/zalogfile";
  return strdup(path.c_str());
}

// ---------------------------------------------------------------------------
// Typed settings

char* ZaConfigDB::DefaultStyle() {
  char* v = ReadValue(ZaCDefaultStyle);
  return v != nullptr ? v : kDefaultStyleName;
}
char* ZaConfigDB::DefaultOnlyStyle() {
  char* v = ReadValue(ZaCDefaultOnlyStyle);
  return v != nullptr ? v : kDefaultOnlyValue;
}
char* ZaConfigDB::WebmasterAddr() { return ReadValue(ZaCWebmasterName); }
char* ZaConfigDB::BugReportAddr() {
  char* v = ReadValue(ZaCBugReportName);
  return v != nullptr ? v : kBuiltInBugReportAddr;
}
char* ZaConfigDB::FeedbackAddr() {
  char* v = ReadValue(ZaCFeedbackName);
  return v != nullptr ? v : kBuiltInFeedbackAddr;
}

char* ZaConfigDB::LogFile() {
  char* v = ReadValue(ZaCLogFileName);
  if (v != nullptr) return v;
  MallocText def(GetDefaultLogFile());
  WriteValue(ZaCLogFileName, def.get(), ZaTrue);
  // The derived default is never saved: the next WriteToFile writes nothing
  // unless something is changed after this.
  modified = ZaFalse;
  return ReadValue(ZaCLogFileName);
}

ZaLogLevel ZaConfigDB::LogLevel() {
  char* v = ReadValue(ZaCLogLevelName);
  for (int level = ZA_INFO; level < ZA_ERROR; ++level) {
    if (IsOneOf(v, ZaLogLevelStr[level])) return static_cast<ZaLogLevel>(level);
  }
  return ZA_ERROR;
}

ZaPhotoStyle ZaConfigDB::PhotoStyle() {
  return IsOneOf(ReadValue(ZaCPhotoStyleName), ZaPhotoStyleStr[ZA_FIXED]) ? ZA_FIXED : ZA_VARIABLE;
}
char* ZaConfigDB::PhotoHeight() { return ReadValue(ZaCPhotoHeightName); }
char* ZaConfigDB::PhotoWidth() { return ReadValue(ZaCPhotoWidthName); }
char* ZaConfigDB::SMTPServerName() { return ReadValue(ZaCSMTPSName); }
int ZaConfigDB::SMTPServerPort() {
  char* v = ReadValue(ZaCSMTPSPort);
  return v != nullptr ? atoi(v) : -1;
}

ZaDBFormat ZaConfigDB::DBFormat(ZaDBType type) {
  char* v = ReadValue(type == ZA_PROJ_DB ? ZaCProjDBFormatName : ZaCEmpDirDBFormatName);
  if (IsOneOf(v, ZaDBFormatStr[ZA_LDAP])) return ZA_LDAP;
  if (IsOneOf(v, ZaDBFormatStr[ZA_SQL])) return ZA_SQL;
  return ZA_ZARVO;
}

char* ZaConfigDB::LDAPServerName() { return ReadValue(ZaCLDAPSName); }
int ZaConfigDB::LDAPServerPort() {
  char* v = ReadValue(ZaCLDAPSPort);
  return v != nullptr ? atoi(v) : -1;
}
char* ZaConfigDB::LDAPRootDN() { return ReadValue(ZaCLDAPRootDN); }
char* ZaConfigDB::LDAPRootPasswd() { return ReadValue(ZaCLDAPRootPasswd); }
char* ZaConfigDB::LDAPSearchBase() { return ReadValue(ZaCLDAPSearchBase); }
char* ZaConfigDB::SqlDbTrace() { return ReadValue(ZaCSQLDbTrace); }
char* ZaConfigDB::SqlDbServer() { return ReadValue(ZaCSQLDbServer); }
char* ZaConfigDB::SqlDbEnv() { return ReadValue(ZaCSQLDbEnv); }
char* ZaConfigDB::SqlServerName() { return ReadValue(ZaCSQLSName); }
char* ZaConfigDB::SqlServerType() { return ReadValue(ZaCSQLSType); }
char* ZaConfigDB::SqlUserName() { return ReadValue(ZaCSQLSUserName); }
char* ZaConfigDB::SqlUserPasswd() { return ReadValue(ZaCSQLSUserPasswd); }
char* ZaConfigDB::SqlDbName() {
  char* v = ReadValue(ZaCSQLSDbName);
  return v != nullptr ? v : kEmptyDbName;
}
char* ZaConfigDB::SqlPrimaryKey() {
  char* v = ReadValue(ZaCSQLSPrimaryKey);
  return v != nullptr ? v : kEmptyPrimaryKey;
}
ZaBoolean ZaConfigDB::SqlPrimaryKey(const char* key, ZaBoolean lock) {
  return WriteValue(ZaCSQLSPrimaryKey, key, lock);
}
char* ZaConfigDB::SqlEmpTbl() {
  char* v = ReadValue(ZaCSQLSEmpTbl);
  return v != nullptr ? v : kEmptyEmpTbl;
}
char* ZaConfigDB::SqlPhotoTable() {
  char* v = ReadValue(ZaCSQLSPhotoTable);
  return v != nullptr ? v : kEmptyPhotoTable;
}
char* ZaConfigDB::SqlPhotoCol() {
  char* v = ReadValue(ZaCSQLSPhotoCol);
  return v != nullptr ? v : kEmptyPhotoCol;
}
ZaBoolean ZaConfigDB::SqlEmpTbl(const char* table, ZaBoolean lock) {
  return WriteValue(ZaCSQLSEmpTbl, table, lock);
}
ZaBoolean ZaConfigDB::SqlPhotoCol(const char* column, ZaBoolean lock) {
  return column != nullptr ? WriteValue(ZaCSQLSPhotoCol, column, lock)
                           : RemoveValue(ZaCSQLSPhotoCol, lock);
}
ZaBoolean ZaConfigDB::SqlPhotoTable(const char* table, ZaBoolean lock) {
  return table != nullptr ? WriteValue(ZaCSQLSPhotoTable, table, lock)
                          : RemoveValue(ZaCSQLSPhotoTable, lock);
}
int ZaConfigDB::UserSessionTimeOut() {
  char* v = ReadValue(ZaCUserSessionTimeOut);
  return v != nullptr ? atoi(v) : kDefaultSessionTimeOut;
}
int ZaConfigDB::WebAdminSessionTimeOut() {
  char* v = ReadValue(ZaCWebMstrSessionTimeOut);
  return v != nullptr ? atoi(v) : kDefaultSessionTimeOut;
}

ZaBoolean ZaConfigDB::DefaultStyle(const char* style, ZaBoolean lock) {
  return WriteValue(ZaCDefaultStyle, style, lock);
}
ZaBoolean ZaConfigDB::DefaultOnlyStyle(const char* value, ZaBoolean lock) {
  return WriteValue(ZaCDefaultOnlyStyle, value, lock);
}
ZaBoolean ZaConfigDB::WebmasterAddr(const char* addr, ZaBoolean lock) {
  return WriteValue(ZaCWebmasterName, addr, lock);
}
ZaBoolean ZaConfigDB::BugReportAddr(const char* addr, ZaBoolean lock) {
  return WriteValue(ZaCBugReportName, addr, lock);
}
ZaBoolean ZaConfigDB::FeedbackAddr(const char* addr, ZaBoolean lock) {
  return WriteValue(ZaCFeedbackName, addr, lock);
}
ZaBoolean ZaConfigDB::LogFile(const char* path, ZaBoolean lock) {
  return WriteValue(ZaCLogFileName, path, lock);
}
ZaBoolean ZaConfigDB::LogLevel(ZaLogLevel level, ZaBoolean lock) {
  if (level < ZA_INFO || level > ZA_ERROR) return ZaFalse;
  return WriteValue(ZaCLogLevelName, ZaLogLevelStr[level], lock);
}
ZaBoolean ZaConfigDB::LogLevel(const char* name, ZaBoolean lock) {
  return WriteValue(ZaCLogLevelName, name, lock);
}

ZaBoolean ZaConfigDB::PhotoStyle(ZaPhotoStyle style, ZaBoolean lock, const char* height,
                                 const char* width) {
  if (style < ZA_VARIABLE || style > ZA_FIXED) return ZaFalse;
  if (style == ZA_FIXED && StringIsEmpty(height) == ZaTrue && StringIsEmpty(width) == ZaTrue) {
    return ZaFalse;
  }
  if (PhotoHeight(height, lock) != ZaTrue) return ZaFalse;
  if (PhotoWidth(width, lock) != ZaTrue) return ZaFalse;
  return WriteValue(ZaCPhotoStyleName, ZaPhotoStyleStr[style], lock);
}
ZaBoolean ZaConfigDB::PhotoStyle(const char* name, ZaBoolean lock, const char* height,
                                 const char* width) {
  ZaPhotoStyle style = IsOneOf(name, ZaPhotoStyleStr[ZA_FIXED]) ? ZA_FIXED : ZA_VARIABLE;
  return PhotoStyle(style, lock, height, width);
}
ZaBoolean ZaConfigDB::PhotoHeight(const char* height, ZaBoolean lock) {
  return WriteValue(ZaCPhotoHeightName, height, lock);
}
ZaBoolean ZaConfigDB::PhotoWidth(const char* width, ZaBoolean lock) {
  return WriteValue(ZaCPhotoWidthName, width, lock);
}
ZaBoolean ZaConfigDB::SMTPServerName(const char* host, ZaBoolean lock) {
  return WriteValue(ZaCSMTPSName, host, lock);
}
ZaBoolean ZaConfigDB::SMTPServerPort(const char* port, ZaBoolean lock) {
  return WriteValue(ZaCSMTPSPort, port, lock);
}

ZaBoolean ZaConfigDB::DBFormat(ZaDBFormat format, ZaBoolean lock, void* info, ZaDBType type) {
  if (format < ZA_ZARVO || format > ZA_SQL) return ZaFalse;
  if (format != ZA_ZARVO && info == nullptr) return ZaFalse;
  ZaBoolean ok = ZaTrue;
  if (format == ZA_LDAP) {
    const LDAPInfoRec* rec = static_cast<const LDAPInfoRec*>(info);
    std::string port = std::to_string(rec->port);
    ok = WriteValue(ZaCLDAPSName, rec->host, lock);
    if (ok == ZaTrue) ok = WriteValue(ZaCLDAPSPort, port.c_str(), lock);
    if (ok == ZaTrue) ok = WriteValue(ZaCLDAPRootDN, rec->rootDN, lock);
    if (ok == ZaTrue) ok = WriteValue(ZaCLDAPRootPasswd, rec->rootPasswd, lock);
    if (ok == ZaTrue) ok = WriteValue(ZaCLDAPSearchBase, rec->searchBase, lock);
  } else if (format == ZA_SQL) {
    const SQLInfoRec* rec = static_cast<const SQLInfoRec*>(info);
    // Optional settings: a blank one is taken as not given.
    auto writeOrRemove = [&](const char* key, const char* value) {
      return StringIsEmpty(value) != ZaTrue ? WriteValue(key, value, lock) : RemoveValue(key, lock);
    };
    ok = WriteValue(ZaCSQLDbServer, rec->dbServer, lock);
    if (ok == ZaTrue) ok = writeOrRemove(ZaCSQLDbEnv, rec->dbEnv);
    if (ok == ZaTrue) ok = WriteValue(ZaCSQLSName, rec->srvName, lock);
    if (ok == ZaTrue) ok = WriteValue(ZaCSQLSType, rec->srvType, lock);
    if (ok == ZaTrue) ok = WriteValue(ZaCSQLSUserName, rec->userName, lock);
    if (ok == ZaTrue) ok = WriteValue(ZaCSQLSUserPasswd, rec->userPasswd, lock);
    if (ok == ZaTrue) ok = writeOrRemove(ZaCSQLSDbName, rec->dbName);
    if (ok == ZaTrue && StringIsEmpty(rec->primaryKey) != ZaTrue) {
      ok = WriteValue(ZaCSQLSPrimaryKey, rec->primaryKey, lock);
    }
    if (ok == ZaTrue && StringIsEmpty(rec->empTbl) != ZaTrue) {
      ok = WriteValue(ZaCSQLSEmpTbl, rec->empTbl, lock);
    }
  }
  if (ok != ZaTrue) return ok;
  return DBFormat(format, lock, type);
}

ZaBoolean ZaConfigDB::DBFormat(const char* name, ZaBoolean lock, void* info, ZaDBType type) {
  ZaDBFormat format = ZA_ZARVO;
  if (IsOneOf(name, ZaDBFormatStr[ZA_LDAP])) format = ZA_LDAP;
  if (IsOneOf(name, ZaDBFormatStr[ZA_SQL])) format = ZA_SQL;
  return DBFormat(format, lock, info, type);
}

ZaBoolean ZaConfigDB::DBFormat(ZaDBFormat format, ZaBoolean lock, ZaDBType type) {
  if (format < ZA_ZARVO || format > ZA_SQL) return ZaFalse;
  const char* key = type == ZA_PROJ_DB ? ZaCProjDBFormatName : ZaCEmpDirDBFormatName;
  return WriteValue(key, ZaDBFormatStr[format], lock);
}

void ZaConfigDB::GetSQLInfo(SQLInfoRec* rec) {
  rec->dbServer = ReadValue(ZaCSQLDbServer);
  rec->dbEnv = ReadValue(ZaCSQLDbEnv);
  rec->srvName = ReadValue(ZaCSQLSName);
  rec->srvType = ReadValue(ZaCSQLSType);
  rec->userName = ReadValue(ZaCSQLSUserName);
  rec->userPasswd = ReadValue(ZaCSQLSUserPasswd);
  rec->dbName = ReadValue(ZaCSQLSDbName);
  rec->primaryKey = ReadValue(ZaCSQLSPrimaryKey);
  rec->empTbl = ReadValue(ZaCSQLSEmpTbl);
}

// ---------------------------------------------------------------------------
// Side files: read under the shared locks, written under the exclusive ones,
// thread lock first; the guards release them in reverse order on every path.

namespace {

template <typename List>
List* ReadLockedList(void* lockObject, const std::string& path, const std::string& lockPath,
                     int line, const char* message) {
  // Without its folder there is no file to read, nor a place for its lock.
  std::string folder = fs::path(path).parent_path().string();
  if (!folder.empty() && ZaCheckIfDirectory(folder.c_str()) != ZaTrue) return new List();
  try {
    ThreadLockGuard threadLock(lockObject, ZaSharedLock);
    ZaLockFileGuard fileLock(lockPath.c_str(), ZaSharedLock);
    std::unique_ptr<List> list(new List());
    list->Read(path.c_str(), ZaTrue);
    fileLock.Release();
    return list.release();
  } catch (ZaError* e) {
    Rethrow(e, line, message);
  }
}

template <typename List>
ZaBoolean WriteLockedList(void* lockObject, const std::string& path, const std::string& lockPath,
                          const List* list, int line, const char* message) {
  try {
    ThreadLockGuard threadLock(lockObject, ZaExclusiveLock);
    ZaLockFileGuard fileLock(lockPath.c_str(), ZaExclusiveLock);
    WriteListFileSafely(path.c_str(), list, ZaFalse);
    fileLock.Release();
  } catch (ZaError* e) {
    Rethrow(e, line, message);
  }
  return ZaTrue;
}

// Passes an error on with one more line.
template <typename Body>
auto WithLine(int line, const char* message, Body body) -> decltype(body()) {
  try {
    return body();
  } catch (ZaError* e) {
    Rethrow(e, line, message);
  }
}

std::string Joined(const char* a, const char* b) {
  return std::string(a != nullptr ? a : "") + (b != nullptr ? b : "");
}

}  // namespace

ValNameList* ZaConfigDB::GetAvailableStyles() {
  return ReadLockedList<ValNameList>(lockObject, styleListFileName, styleListFileNameLock, 923,
                                     "Exception rethrown");
}

ZaBoolean ZaConfigDB::SetAvailableStyles(ValNameList* styles) {
  return WriteLockedList(lockObject, styleListFileName, styleListFileNameLock, styles, 957,
                         "Exception rethrown");
}

ValNameList* ZaConfigDB::GetStyleInfo(const char* style) {
  std::string path = Joined(styleDirectory, style) + ".lst";
  return ReadLockedList<ValNameList>(lockObject, path, path + ".lck", 994,
                                     "Error in ZaConfigDB::GetStyleInfo()");
}

ZaBoolean ZaConfigDB::WriteStyleInfo(const char* style, ValNameList* info) {
  std::string path = Joined(styleDirectory, style) + ".lst";
  return WriteLockedList(lockObject, path, path + ".lck", info, 1010,
                         "Error in ZaConfigDB::WriteStyleInfo");
}

ValList* ZaConfigDB::GetGifList(const char* dir) {
  std::string path = Joined("../../", dir) + "/bin/images/giflist.lst";
  return ReadLockedList<ValList>(lockObject, path, path + ".lck", 976,
                                 "Error in ZaConfigDB::GetGifList()");
}

ValList* ZaConfigDB::ReadValList(const char* file, const char* dir) {
  std::string path = Joined(dir, file);
  return ReadLockedList<ValList>(lockObject, path, path + ".lck", 1048,
                                 "Exception rethrown in ZaConfigDB::ReadValList");
}

ZaBoolean ZaConfigDB::WriteValList(const char* file, const char* dir, ValList* list) {
  std::string path = Joined(dir, file);
  return WriteLockedList(lockObject, path, path + ".lck", list, 1081,
                         "Exception rethrown in ZaConfigDB::WriteValList");
}

ValNameList* ZaConfigDB::ReadValNameList(const char* file, const char* dir) {
  return ReadValNameList(Joined(dir, file).c_str());
}

ZaBoolean ZaConfigDB::WriteValNameList(const char* file, const char* dir, ValNameList* list) {
  return WriteValNameList(Joined(dir, file).c_str(), list);
}

ValNameList* ZaConfigDB::ReadValNameList(const char* path) {
  std::string p = Joined(path, nullptr);
  return ReadLockedList<ValNameList>(lockObject, p, p + ".lck", 1127,
                                     "Exception rethrown in ZaConfigDB::ReadValNameList");
}

ZaBoolean ZaConfigDB::WriteValNameList(const char* path, ValNameList* list) {
  std::string p = Joined(path, nullptr);
  return WriteLockedList(lockObject, p, p + ".lck", list, 1168,
                         "Exception rethrown in ZaConfigDB::WriteValNameList");
}

ValNameList* ZaConfigDB::ReadSetupInfo() {
  // Without the configuration folder there is neither a set-up file nor a
  // place for its lock file: nothing has been answered yet.
  if (ZaCheckIfDirectory(fs::path(zarvoSetupFileName).parent_path().c_str()) != ZaTrue) {
    return new ValNameList();
  }
  std::unique_ptr<ValNameList> list;
  try {
    ThreadLockGuard threadLock(lockObject, ZaSharedLock);
    ZaLockFileGuard fileLock(zarvoSetupFileNameLock, ZaSharedLock);
    list.reset(new ValNameList());
    if (ZaCheckIfFile(zarvoSetupFileName) == ZaTrue) list->Read(zarvoSetupFileName, ZaTrue);
    fileLock.Release();
  } catch (ZaError* e) {
    Rethrow(e, 1276, "Error while reading Setup Info");
  }
  TransformPasswords(list.get(), Unscramble);
  return list.release();
}

ZaBoolean ZaConfigDB::WriteSetupInfo(ValNameList* list) {
  // A scrambled copy goes to disk, so the caller's list ends as it began.
  std::unique_ptr<ValNameList> onDisk(list->Copy());
  TransformPasswords(onDisk.get(), Scramble);
  return WriteLockedList(lockObject, zarvoSetupFileName, zarvoSetupFileNameLock, onDisk.get(),
                         1341, "Error while writing Setup Info");
}

ValNameList* ZaConfigDB::ReadSQLSchemaMapFile() {
  return WithLine(1393, "Could not read SchemaMapFile",
                  [&] { return ReadValNameList(schemaMapFile); });
}

ZaBoolean ZaConfigDB::WriteSQLSchemaMapFile(ValNameList* list) {
  return WithLine(1408, "Could not write SchemaFile",
                  [&] { return WriteValNameList(schemaMapFile, list); });
}

ValNameList* ZaConfigDB::ReadSQLSchemaFile() {
  std::unique_ptr<ValNameList> raw(
      WithLine(1459, "Could not read SchemaFile", [&] { return ReadValNameList(schemaFile); }));
  // A value "a:b:c:d" becomes the value a with b, c and d as the extras.
  std::unique_ptr<ValNameList> schema(new ValNameList());
  for (ValNameListItem* item = raw->head; item != nullptr; item = item->next) {
    std::unique_ptr<ValList> fields(StringTokenize(item->value, ':'));
    if (fields->count < 2) {
      schema->Append(item->name, item->value);
      continue;
    }
    const char* f[4] = {nullptr, nullptr, nullptr, nullptr};
    for (int i = 0; i < 4; ++i) {
      ValListItem* field = fields->GetNthItem(i);
      if (field != nullptr) f[i] = field->value;
    }
    schema->Append(item->name, f[0], f[1], f[2], f[3]);
  }
  return schema.release();
}

ZaBoolean ZaConfigDB::WriteSQLSchemaFile(ValNameList* list) {
  return WithLine(1474, "Could not write SchemaFile",
                  [&] { return WriteValNameList(schemaFile, list); });
}

ValNameList* ZaConfigDB::ReadSubcategories() {
  return WithLine(1493, "Could not read Subcategories file",
                  [&] { return ReadValNameList(versitSubcategFile); });
}

ZaBoolean ZaConfigDB::WriteSubcategories(ValNameList* list) {
  return WithLine(1508, "Could not write Subcategories file",
                  [&] { return WriteValNameList(versitSubcategFile, list); });
}

ValNameList* ZaConfigDB::ReadVersitCategories() {
  return WithLine(1527, "Could not read versit categ file",
                  [&] { return ReadValNameList(versitCategFile); });
}

ZaBoolean ZaConfigDB::WriteVersitCategories(ValNameList* list) {
  return WithLine(1542, "Could not write versit categ file",
                  [&] { return WriteValNameList(versitCategFile, list); });
}

ValNameList* ZaConfigDB::ReadLDAPCategories() {
  return WithLine(1561, "Could not read ldapCategFile",
                  [&] { return ReadValNameList(ldapCategFile); });
}

ZaBoolean ZaConfigDB::WriteLDAPCategories(ValNameList* list) {
  return WithLine(1576, "Could not write ldapCategFile",
                  [&] { return WriteValNameList(ldapCategFile, list); });
}

// ---------------------------------------------------------------------------
// MIME types

ZaBoolean ZaConfigDB::WriteMimeTypesFile() {
  ValNameList table;
  for (const MimeRow& row : mimeMapping) table.Append(row.type, row.ext);
  return WriteValNameList(mimeTypesFile, &table);
}

char* ZaConfigDB::FindMimeType(const char* ext) {
  const char* found = nullptr;
  std::unique_ptr<ValNameList> table;
  if (ext != nullptr && ZaCheckIfFile(mimeTypesFile) == ZaTrue) {
    // The file, which operators may extend, matches without regard to case.
    table.reset(ReadValNameList(mimeTypesFile));
    ValNameListItem* item = table->LookupByVal(ext);
    if (item != nullptr) found = item->name;
  } else if (ext != nullptr) {
    for (const MimeRow& row : mimeMapping) {
      if (strcmp(row.ext, ext) == 0) {
        found = row.type;
        break;
      }
    }
  }
  return strdup(found != nullptr ? found : "text/plain");
}
