#include "userDB.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "dbUtil.h"
#include "list.h"
#include "stringutil.h"
#include "vallist.h"
#include "vcard.h"
#include "zafile.h"
#include "zaport.h"

namespace {

const char kSource[] = "dblib/src/userDB";
const char kSetupFile[] = "../../../config/setup.lst";
// Size of the per-thread block the LDAP store keeps under the thread key.
const int kLdapThreadBlockSize = 12;
// TYPE code under which the stores file a card's indirect-report user ID.
const int kIndirectReportTypeCode = 50;

const char* FormatWord(ZaDBFormat format) {
  switch (format) {
    case ZA_ZARVO: return "filedb";
    case ZA_LDAP: return "ldapdb";
    case ZA_SQL: return "sqldb";
  }
  return "";
}

const char* GatewayWord(int kind) {
  switch (kind) {
    case 0: return "cgi";
    case 1: return "nsapi";
  }
  return "";
}

}  // namespace

char* GetDLLPath(char* topDir, ZaDBFormat format) {
  if (!topDir) return nullptr;
  std::string path = std::string(topDir) + "/lib/za" + FormatWord(format) + "lib_" +
                     GatewayWord(ZaGetGatewayKind()) + ".so";
  if (ZaCheckIfFile(path.c_str()) != ZaTrue) {
    free(topDir);
    return nullptr;
  }
  return strdup(path.c_str());
}

UserDB* ZaCreateUserDB(ZaConfigDB* config) {
  if (config->DBFormat(ZA_EMP_DIR_DB) == ZA_SQL) {
    const char* env = config->SqlDbEnv();
    // putenv keeps the very text it is given, so the copy lives as long as
    // the process does.
    if (env) putenv(strdup(env));
  }
  UserDB* db = nullptr;
  ZaUseStoreEntry(config, kSource, "ZaCreateImpUserDB", "ZaCreateUserDB() failed!", true,
                  [&db](void* entry) { db = reinterpret_cast<ZaCreateImpUserDBFunc>(entry)(); });
  return db;
}

void ZaDestroyUserDB(UserDB* db, ZaConfigDB* config) {
  ZaUseStoreEntry(config, kSource, "ZaDestroyImpUserDB", "ZaDestroyUserDB() failed!", false,
                  [db](void* entry) { reinterpret_cast<ZaDestroyImpUserDBFunc>(entry)(db); });
}

ZaBoolean ZaDBThreadSetup(ZaConfigDB* config, int key) {
  if (config->DBFormat(ZA_EMP_DIR_DB) != ZA_LDAP) return ZaTrue;
  if (ZaThreadGetData(key)) return ZaFalse;
  ZaThreadSetData(key, ZaThreadAllocStore(kLdapThreadBlockSize));
  return ZaTrue;
}

ZaBoolean ZaDBThreadSetupFree(int key) {
  free(ZaThreadGetData(key));
  ZaThreadSetData(key, nullptr);
  return ZaTrue;
}

UserDB::~UserDB() = default;

ZaBoolean UserDB::Connect(ZaConfigDB*) { return ZaTrue; }

void UserDB::ReadDBFiles(ZaConfigDB*) {}

void UserDB::WarmUpCaches(ZaBoolean) {}

char* UserDB::GetTableKey(char*) { return nullptr; }

ZaBoolean UserDB::CheckIfColdStart() {
  if (ZaCheckIfFile(kSetupFile) != ZaTrue) return ZaTrue;
  ValNameList setup;
  try {
    setup.Read(kSetupFile);
  } catch (ZaError* e) {
    // A set-up file that cannot be read does not prove the set-up finished.
    delete e;
    return ZaTrue;
  }
  ValNameListItem* status = setup.Lookup("status");
  bool done = status && status->value && strcasecmp(status->value, "done") == 0;
  return done ? ZaFalse : ZaTrue;
}

char* UserDB::GetRole(VCard* card) {
  VCardEntry* role = card->GetEntry(VCardPropRole);
  if (!role || !role->value || !*role->value) return nullptr;
  return strdup(role->value);
}

char* UserDB::GetIndirectReport(VCard* card) {
  VCardEntry probe(VCardPropZarvoUid, nullptr);
  probe.AddSubType(VCardKindType, kIndirectReportTypeCode);
  VCardEntry* found = card->GetEntry(&probe);
  return found ? found->GetValue() : nullptr;
}

ValNameList* UserDB::SortByValue(ValList* uids) {
  return ZaSortIdsByName(uids, [this](char* uid) { return GetUserName(uid); });
}

void UserDB::SortByValue(VoidList* cards) {
  ZaSortPointersByKey(cards, [](void* data) -> const char* {
    VCardEntry* fn = data ? static_cast<VCard*>(data)->GetEntry(VCardPropFn) : nullptr;
    return fn ? fn->value : nullptr;
  });
}

// Slots reserved for the suite's other programs.
void UserDB::ReservedUserSlot5() { ZaRaiseReservedSlot(kSource, "UserDB", 5); }
void UserDB::ReservedUserSlot6() { ZaRaiseReservedSlot(kSource, "UserDB", 6); }
void UserDB::ReservedUserSlot8() { ZaRaiseReservedSlot(kSource, "UserDB", 8); }
void UserDB::ReservedUserSlot9() { ZaRaiseReservedSlot(kSource, "UserDB", 9); }
void UserDB::ReservedUserSlot10() { ZaRaiseReservedSlot(kSource, "UserDB", 10); }
void UserDB::ReservedUserSlot11() { ZaRaiseReservedSlot(kSource, "UserDB", 11); }
void UserDB::ReservedUserSlot12() { ZaRaiseReservedSlot(kSource, "UserDB", 12); }
void UserDB::ReservedUserSlot13() { ZaRaiseReservedSlot(kSource, "UserDB", 13); }
void UserDB::ReservedUserSlot16() { ZaRaiseReservedSlot(kSource, "UserDB", 16); }
void UserDB::ReservedUserSlot20() { ZaRaiseReservedSlot(kSource, "UserDB", 20); }
void UserDB::ReservedUserSlot21() { ZaRaiseReservedSlot(kSource, "UserDB", 21); }
void UserDB::ReservedUserSlot22() { ZaRaiseReservedSlot(kSource, "UserDB", 22); }
void UserDB::ReservedUserSlot23() { ZaRaiseReservedSlot(kSource, "UserDB", 23); }
void UserDB::ReservedUserSlot24() { ZaRaiseReservedSlot(kSource, "UserDB", 24); }
void UserDB::ReservedUserSlot25() { ZaRaiseReservedSlot(kSource, "UserDB", 25); }
void UserDB::ReservedUserSlot26() { ZaRaiseReservedSlot(kSource, "UserDB", 26); }
void UserDB::ReservedUserSlot35() { ZaRaiseReservedSlot(kSource, "UserDB", 35); }
void UserDB::ReservedUserSlot41() { ZaRaiseReservedSlot(kSource, "UserDB", 41); }
void UserDB::ReservedUserSlot42() { ZaRaiseReservedSlot(kSource, "UserDB", 42); }
void UserDB::ReservedUserSlot43() { ZaRaiseReservedSlot(kSource, "UserDB", 43); }
void UserDB::ReservedUserSlot44() { ZaRaiseReservedSlot(kSource, "UserDB", 44); }
void UserDB::ReservedUserSlot45() { ZaRaiseReservedSlot(kSource, "UserDB", 45); }
void UserDB::ReservedUserSlot46() { ZaRaiseReservedSlot(kSource, "UserDB", 46); }
void UserDB::ReservedUserSlot47() { ZaRaiseReservedSlot(kSource, "UserDB", 47); }
void UserDB::ReservedUserSlot50() { ZaRaiseReservedSlot(kSource, "UserDB", 50); }
void UserDB::ReservedUserSlot51() { ZaRaiseReservedSlot(kSource, "UserDB", 51); }
void UserDB::ReservedUserSlot52() { ZaRaiseReservedSlot(kSource, "UserDB", 52); }
void UserDB::ReservedUserSlot53() { ZaRaiseReservedSlot(kSource, "UserDB", 53); }
void UserDB::ReservedUserSlot54() { ZaRaiseReservedSlot(kSource, "UserDB", 54); }
void UserDB::ReservedUserSlot55() { ZaRaiseReservedSlot(kSource, "UserDB", 55); }
void UserDB::ReservedUserSlot57() { ZaRaiseReservedSlot(kSource, "UserDB", 57); }
void UserDB::ReservedUserSlot59() { ZaRaiseReservedSlot(kSource, "UserDB", 59); }
void UserDB::ReservedUserSlot60() { ZaRaiseReservedSlot(kSource, "UserDB", 60); }
void UserDB::ReservedUserSlot61() { ZaRaiseReservedSlot(kSource, "UserDB", 61); }
void UserDB::ReservedUserSlot64() { ZaRaiseReservedSlot(kSource, "UserDB", 64); }
void UserDB::ReservedUserSlot65() { ZaRaiseReservedSlot(kSource, "UserDB", 65); }
void UserDB::ReservedUserSlot75() { ZaRaiseReservedSlot(kSource, "UserDB", 75); }
void UserDB::ReservedUserSlot76() { ZaRaiseReservedSlot(kSource, "UserDB", 76); }
void UserDB::ReservedUserSlot77() { ZaRaiseReservedSlot(kSource, "UserDB", 77); }
void UserDB::ReservedUserSlot78() { ZaRaiseReservedSlot(kSource, "UserDB", 78); }
void UserDB::ReservedUserSlot79() { ZaRaiseReservedSlot(kSource, "UserDB", 79); }
void UserDB::ReservedUserSlot80() { ZaRaiseReservedSlot(kSource, "UserDB", 80); }
void UserDB::ReservedUserSlot81() { ZaRaiseReservedSlot(kSource, "UserDB", 81); }
void UserDB::ReservedUserSlot82() { ZaRaiseReservedSlot(kSource, "UserDB", 82); }
void UserDB::ReservedUserSlot83() { ZaRaiseReservedSlot(kSource, "UserDB", 83); }
void UserDB::ReservedUserSlot84() { ZaRaiseReservedSlot(kSource, "UserDB", 84); }
void UserDB::ReservedUserSlot85() { ZaRaiseReservedSlot(kSource, "UserDB", 85); }
void UserDB::ReservedUserSlot86() { ZaRaiseReservedSlot(kSource, "UserDB", 86); }
void UserDB::ReservedUserSlot87() { ZaRaiseReservedSlot(kSource, "UserDB", 87); }
void UserDB::ReservedUserSlot88() { ZaRaiseReservedSlot(kSource, "UserDB", 88); }
void UserDB::ReservedUserSlot89() { ZaRaiseReservedSlot(kSource, "UserDB", 89); }
void UserDB::ReservedUserSlot90() { ZaRaiseReservedSlot(kSource, "UserDB", 90); }
void UserDB::ReservedUserSlot91() { ZaRaiseReservedSlot(kSource, "UserDB", 91); }
void UserDB::ReservedUserSlot92() { ZaRaiseReservedSlot(kSource, "UserDB", 92); }
void UserDB::ReservedUserSlot93() { ZaRaiseReservedSlot(kSource, "UserDB", 93); }
void UserDB::ReservedUserSlot94() { ZaRaiseReservedSlot(kSource, "UserDB", 94); }
void UserDB::ReservedUserSlot95() { ZaRaiseReservedSlot(kSource, "UserDB", 95); }
void UserDB::ReservedUserSlot96() { ZaRaiseReservedSlot(kSource, "UserDB", 96); }
void UserDB::ReservedUserSlot97() { ZaRaiseReservedSlot(kSource, "UserDB", 97); }
void UserDB::ReservedUserSlot98() { ZaRaiseReservedSlot(kSource, "UserDB", 98); }
void UserDB::ReservedUserSlot99() { ZaRaiseReservedSlot(kSource, "UserDB", 99); }
void UserDB::ReservedUserSlot100() { ZaRaiseReservedSlot(kSource, "UserDB", 100); }
void UserDB::ReservedUserSlot101() { ZaRaiseReservedSlot(kSource, "UserDB", 101); }
void UserDB::ReservedUserSlot102() { ZaRaiseReservedSlot(kSource, "UserDB", 102); }
void UserDB::ReservedUserSlot103() { ZaRaiseReservedSlot(kSource, "UserDB", 103); }
void UserDB::ReservedUserSlot105() { ZaRaiseReservedSlot(kSource, "UserDB", 105); }
void UserDB::ReservedUserSlot106() { ZaRaiseReservedSlot(kSource, "UserDB", 106); }
void UserDB::ReservedUserSlot107() { ZaRaiseReservedSlot(kSource, "UserDB", 107); }
void UserDB::ReservedUserSlot108() { ZaRaiseReservedSlot(kSource, "UserDB", 108); }
void UserDB::ReservedUserSlot109() { ZaRaiseReservedSlot(kSource, "UserDB", 109); }
void UserDB::ReservedUserSlot110() { ZaRaiseReservedSlot(kSource, "UserDB", 110); }