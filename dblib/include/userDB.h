// UserDB: the abstract person-and-account store that a directory-store plug-in
// implements, plus the loader that finds, loads and asks a plug-in for one.
//
// Ownership across the plug-in boundary: texts returned by operations are
// malloc'd and freed by the caller with free(); returned lists, cards and
// records belong to the caller, who deletes them.
//
// Slot layout. Plug-ins are built separately and bind to these operations by
// their position in the virtual table, so the order below is fixed: slot 1 is
// the virtual destructor and slot N is the N-th virtual operation declared.
// Positions that this program neither calls nor implements are held by
// Reserved...SlotN operations; their default raises an internal ZaError, and a
// plug-in may override them for the suite's other programs. Never insert,
// remove or reorder a virtual operation here; to add one, take over a
// reserved slot. The slot numbers are checked by loader_test.
#ifndef ZA_USERDB_H
#define ZA_USERDB_H

#include "zaconfigDB.h"
#include "zaerror.h"

class ValList;
class ValNameList;
class VoidList;
class VCard;

class UserDB {
 public:
  UserDB() = default;
  UserDB(const UserDB&) = delete;
  UserDB& operator=(const UserDB&) = delete;

  /*   1 */ virtual ~UserDB();
  /*   2 */ virtual ZaBoolean Open(ZaBoolean inServer, ZaConfigDB* config, int* threadKey) = 0;
  /*   3 */ virtual ZaBoolean Connect(ZaConfigDB* config);
  /*   4 */ virtual void ReadDBFiles(ZaConfigDB* config);
  /*   5 */ virtual void ReservedUserSlot5();
  /*   6 */ virtual void ReservedUserSlot6();
  /*   7 */ virtual VCard* GetBaseCard() = 0;
  /*   8 */ virtual void ReservedUserSlot8();
  /*   9 */ virtual void ReservedUserSlot9();
  /*  10 */ virtual void ReservedUserSlot10();
  /*  11 */ virtual void ReservedUserSlot11();
  /*  12 */ virtual void ReservedUserSlot12();
  /*  13 */ virtual void ReservedUserSlot13();
  /*  14 */ virtual ZaBoolean CheckIfColdStart();
  /*  15 */ virtual ZaBoolean IsSetUp() = 0;
  /*  16 */ virtual void ReservedUserSlot16();
  /*  17 */ virtual ZaBoolean NoteLogin(char* uid) = 0;
  /*  18 */ virtual ZaBoolean DeleteAccount(char* uid) = 0;
  /*  19 */ virtual ZaBoolean GetLoginFlag(char* uid) = 0;
  /*  20 */ virtual void ReservedUserSlot20();
  /*  21 */ virtual void ReservedUserSlot21();
  /*  22 */ virtual void ReservedUserSlot22();
  /*  23 */ virtual void ReservedUserSlot23();
  /*  24 */ virtual void ReservedUserSlot24();
  /*  25 */ virtual void ReservedUserSlot25();
  /*  26 */ virtual void ReservedUserSlot26();
  /*  27 */ virtual ZaBoolean CheckPassword(char* uid, char* password) = 0;
  /*  28 */ virtual ZaBoolean SetPassword(char* uid, char* password) = 0;
  /*  29 */ virtual ZaBoolean UserExists(char* uid) = 0;
  /*  30 */ virtual ZaBoolean LoginTaken(char* login) = 0;
  /*  31 */ virtual char* GetUidFromLogin(char* login) = 0;
  /*  32 */ virtual char* GetUidFromServerUser(char* serverUser) = 0;
  /*  33 */ virtual ZaBoolean AccountExists(char* uid) = 0;
  /*  34 */ virtual ZaBoolean CreateAccount(char* uid, char* login) = 0;
  /*  35 */ virtual void ReservedUserSlot35();
  /*  36 */ virtual char* GetUserName(char* uid) = 0;
  /*  37 */ virtual char* GetRole(VCard* card);
  /*  38 */ virtual char* GetIndirectReport(VCard* card);
  /*  39 */ virtual char* GetEmailAddress(char* uid) = 0;
  /*  40 */ virtual ValList* GetGroupsOfUser(char* uid) = 0;
  /*  41 */ virtual void ReservedUserSlot41();
  /*  42 */ virtual void ReservedUserSlot42();
  /*  43 */ virtual void ReservedUserSlot43();
  /*  44 */ virtual void ReservedUserSlot44();
  /*  45 */ virtual void ReservedUserSlot45();
  /*  46 */ virtual void ReservedUserSlot46();
  /*  47 */ virtual void ReservedUserSlot47();
  /*  48 */ virtual ValList* GetHotlistPeople(char* uid) = 0;
  /*  49 */ virtual ValList* GetHotlistGroups(char* uid) = 0;
  /*  50 */ virtual void ReservedUserSlot50();
  /*  51 */ virtual void ReservedUserSlot51();
  /*  52 */ virtual void ReservedUserSlot52();
  /*  53 */ virtual void ReservedUserSlot53();
  /*  54 */ virtual void ReservedUserSlot54();
  /*  55 */ virtual void ReservedUserSlot55();
  /*  56 */ virtual ValNameList* GetUserPreferences(char* uid) = 0;
  /*  57 */ virtual void ReservedUserSlot57();
  /*  58 */ virtual VCard* GetVCard(char* uid, ZaBoolean full) = 0;
  /*  59 */ virtual void ReservedUserSlot59();
  /*  60 */ virtual void ReservedUserSlot60();
  /*  61 */ virtual void ReservedUserSlot61();
  /*  62 */ virtual ValNameList* SortByValue(ValList* uids);
  /*  63 */ virtual void SortByValue(VoidList* cards);
  /*  64 */ virtual void ReservedUserSlot64();
  /*  65 */ virtual void ReservedUserSlot65();
  /*  66 */ virtual long GetDiskUsage(char* uid) = 0;
  /*  67 */ virtual ValNameList* GetAllDiskUsage() = 0;
  /*  68 */ virtual ValNameList* GetDiskUsageOf(ValList* uids) = 0;
  /*  69 */ virtual ValNameList* GetCurrentUserNames() = 0;
  /*  70 */ virtual ValNameList* GetAccountLogins() = 0;
  /*  71 */ virtual ValNameList* GetAccountNames() = 0;
  /*  72 */ virtual ZaBoolean DeleteUserData(char* uid) = 0;
  /*  73 */ virtual ZaBoolean IsNonCurrentUser(char* uid) = 0;
  /*  74 */ virtual ValNameList* GetCurrentUsers() = 0;
  /*  75 */ virtual void ReservedUserSlot75();
  /*  76 */ virtual void ReservedUserSlot76();
  /*  77 */ virtual void ReservedUserSlot77();
  /*  78 */ virtual void ReservedUserSlot78();
  /*  79 */ virtual void ReservedUserSlot79();
  /*  80 */ virtual void ReservedUserSlot80();
  /*  81 */ virtual void ReservedUserSlot81();
  /*  82 */ virtual void ReservedUserSlot82();
  /*  83 */ virtual void ReservedUserSlot83();
  /*  84 */ virtual void ReservedUserSlot84();
  /*  85 */ virtual void ReservedUserSlot85();
  /*  86 */ virtual void ReservedUserSlot86();
  /*  87 */ virtual void ReservedUserSlot87();
  /*  88 */ virtual void ReservedUserSlot88();
  /*  89 */ virtual void ReservedUserSlot89();
  /*  90 */ virtual void ReservedUserSlot90();
  /*  91 */ virtual void ReservedUserSlot91();
  /*  92 */ virtual void ReservedUserSlot92();
  /*  93 */ virtual void ReservedUserSlot93();
  /*  94 */ virtual void ReservedUserSlot94();
  /*  95 */ virtual void ReservedUserSlot95();
  /*  96 */ virtual void ReservedUserSlot96();
  /*  97 */ virtual void ReservedUserSlot97();
  /*  98 */ virtual void ReservedUserSlot98();
  /*  99 */ virtual void ReservedUserSlot99();
  /* 100 */ virtual void ReservedUserSlot100();
  /* 101 */ virtual void ReservedUserSlot101();
  /* 102 */ virtual void ReservedUserSlot102();
  /* 103 */ virtual void ReservedUserSlot103();
  /* 104 */ virtual void WarmUpCaches(ZaBoolean force);
  /* 105 */ virtual void ReservedUserSlot105();
  /* 106 */ virtual void ReservedUserSlot106();
  /* 107 */ virtual void ReservedUserSlot107();
  /* 108 */ virtual void ReservedUserSlot108();
  /* 109 */ virtual void ReservedUserSlot109();
  /* 110 */ virtual void ReservedUserSlot110();
  /* 111 */ virtual char* GetTableKey(char* name);
};

// Plug-in entry points, exported unmangled by every store library.
extern "C" {
UserDB* ZaCreateImpUserDB();
void ZaDestroyImpUserDB(UserDB* db);
}
typedef UserDB* (*ZaCreateImpUserDBFunc)();
typedef void (*ZaDestroyImpUserDBFunc)(UserDB*);

// Path of the plug-in library for `format` under the top directory `topDir`:
// topDir + "/lib/za" + format word + "lib_" + gateway word + ".so". Returns a
// new text (caller frees), or null when no such file exists; in that case
// topDir has been freed, otherwise the caller still owns it.
char* GetDLLPath(char* topDir, ZaDBFormat format);

// Loads the configured plug-in and returns a new store (destroy it with
// ZaDestroyUserDB). Raises a ZaError when the library or entry point is missing.
UserDB* ZaCreateUserDB(ZaConfigDB* config);
void ZaDestroyUserDB(UserDB* db, ZaConfigDB* config);

// Per-thread block that the LDAP store keeps under the application's key.
ZaBoolean ZaDBThreadSetup(ZaConfigDB* config, int key);
ZaBoolean ZaDBThreadSetupFree(int key);

#endif
