#include "groupDB.h"

#include <cstdlib>

#include "dbUtil.h"
#include "vallist.h"

namespace {

const char kSource[] = "dblib/src/groupDB";

}  // namespace

ZaGroupRecord::~ZaGroupRecord() {
  free(groupId);
  free(ownerId);
  free(groupName);
  delete members;
}

GroupDB* ZaCreateGroupDB(ZaConfigDB* config) {
  GroupDB* db = nullptr;
  ZaUseStoreEntry(config, kSource, "ZaCreateImpGroupDB", "ZaCreateGroupDB() failed!", true,
                  [&db](void* entry) { db = reinterpret_cast<ZaCreateImpGroupDBFunc>(entry)(); });
  return db;
}

void ZaDestroyGroupDB(GroupDB* db, ZaConfigDB* config) {
  ZaUseStoreEntry(config, kSource, "ZaDestroyImpGroupDB", "ZaDestroyGroupDB() failed!", false,
                  [db](void* entry) { reinterpret_cast<ZaDestroyImpGroupDBFunc>(entry)(db); });
}

GroupDB::~GroupDB() = default;

void GroupDB::SortByValue(VoidList* records) {
  ZaSortPointersByKey(records, [](void* data) -> const char* {
    return data ? static_cast<ZaGroupRecord*>(data)->groupName : nullptr;
  });
}

ValNameList* GroupDB::SortByValue(ValList* gids) {
  return ZaSortIdsByName(gids, [this](char* gid) { return GetGroupName(gid); });
}

// Slots reserved for the suite's other programs.
void GroupDB::ReservedGroupSlot3() { ZaRaiseReservedSlot(kSource, "GroupDB", 3); }
void GroupDB::ReservedGroupSlot8() { ZaRaiseReservedSlot(kSource, "GroupDB", 8); }
void GroupDB::ReservedGroupSlot9() { ZaRaiseReservedSlot(kSource, "GroupDB", 9); }
void GroupDB::ReservedGroupSlot12() { ZaRaiseReservedSlot(kSource, "GroupDB", 12); }
void GroupDB::ReservedGroupSlot14() { ZaRaiseReservedSlot(kSource, "GroupDB", 14); }
void GroupDB::ReservedGroupSlot15() { ZaRaiseReservedSlot(kSource, "GroupDB", 15); }
void GroupDB::ReservedGroupSlot16() { ZaRaiseReservedSlot(kSource, "GroupDB", 16); }
void GroupDB::ReservedGroupSlot17() { ZaRaiseReservedSlot(kSource, "GroupDB", 17); }
void GroupDB::ReservedGroupSlot18() { ZaRaiseReservedSlot(kSource, "GroupDB", 18); }
void GroupDB::ReservedGroupSlot19() { ZaRaiseReservedSlot(kSource, "GroupDB", 19); }
void GroupDB::ReservedGroupSlot26() { ZaRaiseReservedSlot(kSource, "GroupDB", 26); }
void GroupDB::ReservedGroupSlot27() { ZaRaiseReservedSlot(kSource, "GroupDB", 27); }
void GroupDB::ReservedGroupSlot28() { ZaRaiseReservedSlot(kSource, "GroupDB", 28); }
void GroupDB::ReservedGroupSlot29() { ZaRaiseReservedSlot(kSource, "GroupDB", 29); }
void GroupDB::ReservedGroupSlot30() { ZaRaiseReservedSlot(kSource, "GroupDB", 30); }
void GroupDB::ReservedGroupSlot31() { ZaRaiseReservedSlot(kSource, "GroupDB", 31); }