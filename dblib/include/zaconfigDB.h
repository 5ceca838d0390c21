// The suite's configuration database: one settings file of name/value pairs
// with typed accessors and built-in defaults, plus the side files kept in the
// same configuration folder (styles, set-up answers, SQL schema, categories,
// MIME types). Getters of texts return texts the object keeps (do not free);
// lists and texts from the Read/Get/Find operations belong to the caller.
#ifndef ZACONFIGDB_H
#define ZACONFIGDB_H

#include "zaerror.h"

#include <cstdint>

class ValList;
class ValNameList;

// Paths, relative to the CGI program's folder three levels below the top of
// the installation.
inline constexpr char kDefaultConfigFile[] = "../../../config/configInfo.lst";
inline constexpr char kDefaultConfigFileLockFile[] = "../../../config/configInfo.lst.lck";
inline constexpr char mimeTypesFile[] = "../../../config/mime_types.lst";
inline constexpr char styleListFileName[] = "../../../config/style/styles.lst";
inline constexpr char styleListFileNameLock[] = "../../../config/style/styles.lst.lck";
inline constexpr char zarvoSetupFileName[] = "../../../config/setup.lst";
inline constexpr char zarvoSetupFileNameLock[] = "../../../config/setup.lst.lck";
inline constexpr char schemaMapFile[] = "../../../config/sqlSchemaMap.lst";
inline constexpr char schemaFile[] = "../../../config/sqlSchema.lst";
inline constexpr char versitSubcategFile[] = "../../../config/subcateg.lst";
inline constexpr char versitCategFile[] = "../../../config/versitcateg.lst";
inline constexpr char ldapCategFile[] = "../../../config/ldapcateg.lst";
inline constexpr char styleDirectory[] = "../../../config/style/";

// Keys of the settings file.
inline constexpr char ZaCWebmasterName[] = "webmasterEmailAddress";
inline constexpr char ZaCBugReportName[] = "bugReportEmailAddress";
inline constexpr char ZaCFeedbackName[] = "feedbackEmailAddress";
inline constexpr char ZaCLogFileName[] = "logFileName";
inline constexpr char ZaCLogLevelName[] = "logLevel";
inline constexpr char ZaCPhotoStyleName[] = "photoStyle";
inline constexpr char ZaCPhotoHeightName[] = "photoHeight";
inline constexpr char ZaCPhotoWidthName[] = "photoWidth";
inline constexpr char ZaCSMTPSName[] = "smtpServerName";
inline constexpr char ZaCSMTPSPort[] = "smtpServerPort";
inline constexpr char ZaCEmpDirDBFormatName[] = "empDirDBFormat";
inline constexpr char ZaCProjDBFormatName[] = "projDBFormat";
inline constexpr char ZaCLDAPSName[] = "ldapServerName";
inline constexpr char ZaCLDAPSPort[] = "ldapServerPort";
inline constexpr char ZaCLDAPRootDN[] = "rootDN";
inline constexpr char ZaCLDAPRootPasswd[] = "rootPasswd";
inline constexpr char ZaCLDAPSearchBase[] = "ldapSearchBase";
inline constexpr char ZaCDefaultStyle[] = "defaultStyle";
inline constexpr char ZaCDefaultOnlyStyle[] = "defaultOnly";
inline constexpr char ZaCUserSessionTimeOut[] = "userSessionTimeOut";
inline constexpr char ZaCWebMstrSessionTimeOut[] = "webAdminSessionTimeOut";
inline constexpr char ZaCSQLDbServer[] = "DBSERVER";
inline constexpr char ZaCSQLDbEnv[] = "DBENV";
inline constexpr char ZaCSQLSName[] = "SRVNAME";
inline constexpr char ZaCSQLSType[] = "SRVTYPE";
inline constexpr char ZaCSQLSUserName[] = "USERNAME";
inline constexpr char ZaCSQLSUserPasswd[] = "USERPASSWD";
inline constexpr char ZaCSQLSDbName[] = "DBNAME";
inline constexpr char ZaCSQLSPrimaryKey[] = "PRIMARYKEY";
inline constexpr char ZaCSQLSEmpTbl[] = "EMPTBL";
inline constexpr char ZaCSQLSPhotoTable[] = "PHOTOTABLE";
inline constexpr char ZaCSQLSPhotoCol[] = "PHOTOCOL";
inline constexpr char ZaCSQLDbTrace[] = "DBTRACE";

// Level of a log message; messages below the configured level are dropped.
enum ZaLogLevel { ZA_INFO = 0, ZA_AUDIT = 1, ZA_WARNING = 2, ZA_ERROR = 3 };
// Photos shown at their own size (variable) or at the configured size (fixed).
enum ZaPhotoStyle { ZA_VARIABLE = 0, ZA_FIXED = 1 };
// Kind of directory store: flat files, LDAP or SQL.
enum ZaDBFormat { ZA_ZARVO = 0, ZA_LDAP = 1, ZA_SQL = 2 };
// Which store a format setting is for.
enum ZaDBType { ZA_EMP_DIR_DB = 0, ZA_PROJ_DB = 1 };

// Names stored in the settings file (compared without regard to case), and
// the level names shown to people.
extern const char* const ZaLogLevelStr[4];        // "ZA_INFO" ... "ZA_ERROR"
extern const char* const ZaLogLevelDisplayStr[4]; // "INFO" ... "ERROR"
extern const char* const ZaPhotoStyleStr[2];      // "ZA_VARIABLE", "ZA_FIXED"
extern const char* const ZaDBFormatStr[3];        // "ZA_ZARVO", "ZA_LDAP", "ZA_SQL"

// SQL store settings; the texts are borrowed (from the configuration by
// GetSQLInfo, from the caller when handed to DBFormat).
struct SQLInfoRec {
  char* dbServer;
  char* dbEnv;
  char* srvName;
  char* srvType;
  char* userName;
  char* userPasswd;
  char* dbName;
  char* primaryKey;
  char* empTbl;
};

// LDAP store settings handed to DBFormat; the texts are borrowed.
struct LDAPInfoRec {
  int32_t port;
  char* host;
  char* rootDN;
  char* rootPasswd;
  char* searchBase;
};

// The configuration. Directory-store plug-ins built apart from this program
// call its virtual operations, so their declaration order below is a binary
// contract: never insert, remove or reorder them.
class ZaConfigDB {
 public:
  // A null file means kDefaultConfigFile. A missing file gives the defaults
  // and nothing is written until WriteToFile; an empty or unreadable one
  // raises a ZaError.
  explicit ZaConfigDB(const char* file = nullptr);
  ZaConfigDB(const ZaConfigDB& other);
  ZaConfigDB& operator=(const ZaConfigDB&) = delete;

  virtual ZaBoolean Reload(ZaBoolean force);
  virtual char* DefaultStyle();             // "style0" when missing
  virtual char* DefaultOnlyStyle();         // "FALSE" when missing
  virtual char* WebmasterAddr();            // null when missing
  virtual char* BugReportAddr();            // built-in address when missing
  virtual char* FeedbackAddr();             // built-in address when missing
  virtual char* LogFile();                  // stores GetDefaultLogFile() when missing
  virtual ZaLogLevel LogLevel();            // ZA_ERROR when missing or unknown
  virtual ZaPhotoStyle PhotoStyle();        // ZA_VARIABLE unless "ZA_FIXED"
  virtual char* PhotoHeight();              // null when missing
  virtual char* PhotoWidth();               // null when missing
  virtual char* SMTPServerName();           // null when missing
  virtual int SMTPServerPort();             // -1 when missing
  virtual ZaDBFormat DBFormat(ZaDBType type);  // ZA_ZARVO when missing or unknown
  virtual char* LDAPServerName();           // null when missing
  virtual int LDAPServerPort();             // -1 when missing
  virtual char* LDAPRootDN();               // null when missing
  virtual char* LDAPRootPasswd();           // plain text; null when missing
  virtual char* LDAPSearchBase();           // null when missing
  virtual char* SqlDbTrace();               // null when missing
  virtual char* SqlDbServer();              // null when missing
  virtual char* SqlDbEnv();                 // null when missing
  virtual char* SqlServerName();            // null when missing
  virtual char* SqlServerType();            // null when missing
  virtual char* SqlUserName();              // null when missing
  virtual char* SqlUserPasswd();            // plain text; null when missing
  virtual char* SqlDbName();                // "" when missing
  virtual char* SqlPrimaryKey();            // "" when missing
  virtual ZaBoolean SqlPrimaryKey(const char* key, ZaBoolean lock);
  virtual char* SqlEmpTbl();                // "" when missing
  virtual char* SqlPhotoTable();            // "" when missing
  virtual char* SqlPhotoCol();              // "" when missing
  virtual ZaBoolean SqlEmpTbl(const char* table, ZaBoolean lock);
  virtual ZaBoolean SqlPhotoCol(const char* column, ZaBoolean lock);     // null removes
  virtual ZaBoolean SqlPhotoTable(const char* table, ZaBoolean lock);    // null removes
  virtual int UserSessionTimeOut();         // 10800 when missing
  virtual int WebAdminSessionTimeOut();     // 10800 when missing
  virtual ZaBoolean DefaultStyle(const char* style, ZaBoolean lock);
  virtual ZaBoolean DefaultOnlyStyle(const char* value, ZaBoolean lock);
  virtual ZaBoolean WebmasterAddr(const char* addr, ZaBoolean lock);
  virtual ZaBoolean BugReportAddr(const char* addr, ZaBoolean lock);
  virtual ZaBoolean FeedbackAddr(const char* addr, ZaBoolean lock);
  virtual ZaBoolean LogFile(const char* path, ZaBoolean lock);
  virtual ZaBoolean LogLevel(ZaLogLevel level, ZaBoolean lock);
  virtual ZaBoolean LogLevel(const char* name, ZaBoolean lock);
  virtual char* GetDefaultLogFile();        // new malloc text: top folder + "/logs/zalogfile"
  virtual ZaBoolean PhotoStyle(ZaPhotoStyle style, ZaBoolean lock, const char* height,
                               const char* width);
  virtual ZaBoolean PhotoStyle(const char* name, ZaBoolean lock, const char* height,
                               const char* width);
  virtual ZaBoolean PhotoHeight(const char* height, ZaBoolean lock);
  virtual ZaBoolean PhotoWidth(const char* width, ZaBoolean lock);
  virtual ZaBoolean SMTPServerName(const char* host, ZaBoolean lock);
  virtual ZaBoolean SMTPServerPort(const char* port, ZaBoolean lock);
  // info is an LDAPInfoRec* for ZA_LDAP, an SQLInfoRec* for ZA_SQL.
  virtual ZaBoolean DBFormat(ZaDBFormat format, ZaBoolean lock, void* info, ZaDBType type);
  virtual ZaBoolean DBFormat(const char* name, ZaBoolean lock, void* info, ZaDBType type);
  virtual ZaBoolean DBFormat(ZaDBFormat format, ZaBoolean lock, ZaDBType type);
  virtual ZaBoolean WriteToFile();
  virtual char* FindMimeType(const char* ext);  // new malloc text, "text/plain" when unknown
  virtual ValNameList* ReadSubcategories();
  virtual ZaBoolean WriteSubcategories(ValNameList* list);
  virtual ValNameList* ReadVersitCategories();
  virtual ZaBoolean WriteVersitCategories(ValNameList* list);
  virtual ValNameList* ReadLDAPCategories();
  virtual ZaBoolean WriteLDAPCategories(ValNameList* list);
  virtual ValNameList* ReadSQLSchemaMapFile();
  virtual ZaBoolean WriteSQLSchemaMapFile(ValNameList* list);
  virtual ValNameList* ReadSQLSchemaFile();
  virtual ZaBoolean WriteSQLSchemaFile(ValNameList* list);
  virtual void GetSQLInfo(SQLInfoRec* rec);
  virtual ZaBoolean ReadFromFile();
  virtual char* ReadValue(const char* key);
  virtual ZaBoolean RemoveValue(const char* key, ZaBoolean lock);
  virtual ZaBoolean WriteValue(const char* key, const char* value, ZaBoolean lock);
  virtual void AddDefaultEntries();
  // Declared after every operation above so that it takes the slots after them.
  virtual ~ZaConfigDB();

  // The top folder of the installation (kept by the object).
  char* GetTopZarvoDir();

  // Side files. Each call reads or writes the file under its lock file;
  // returned lists are new and belong to the caller.
  ValNameList* GetAvailableStyles();
  ZaBoolean SetAvailableStyles(ValNameList* styles);
  ValNameList* GetStyleInfo(const char* style);
  ZaBoolean WriteStyleInfo(const char* style, ValNameList* info);
  ValList* GetGifList(const char* dir);
  ValList* ReadValList(const char* file, const char* dir);
  ZaBoolean WriteValList(const char* file, const char* dir, ValList* list);
  ValNameList* ReadValNameList(const char* file, const char* dir);
  ZaBoolean WriteValNameList(const char* file, const char* dir, ValNameList* list);
  ValNameList* ReadValNameList(const char* path);
  ZaBoolean WriteValNameList(const char* path, ValNameList* list);
  ValNameList* ReadSetupInfo();                 // passwords in plain text
  ZaBoolean WriteSetupInfo(ValNameList* list);  // the caller's list ends as it began
  ZaBoolean WriteMimeTypesFile();

 protected:
  long timeStamp;        // modification time of the settings file when last read
  void* lockObject;      // read/write lock between threads
  char* fileName;        // owned
  ValNameList* entries;  // owned; absent only between a write and its re-read
  ZaBoolean modified;    // changed in memory since last read or write
  char* topDir;          // owned cache of GetTopZarvoDir
};

#endif
