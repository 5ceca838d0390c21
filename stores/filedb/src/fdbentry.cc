// The plug-in's entry points, which the program's store loader and the
// store's tools look up by name.
#include "fdbuserdb.h"
#include "zastoreadmin.h"

#define FDB_EXPORT __attribute__((visibility("default")))

ZaStoreAdmin* FdbCreateAdmin(const std::string& top, ValNameList* settings);

extern "C" {
FDB_EXPORT UserDB* ZaCreateImpUserDB() { return new ZaFileUserDB; }
FDB_EXPORT void ZaDestroyImpUserDB(UserDB* db) { delete db; }
FDB_EXPORT GroupDB* ZaCreateImpGroupDB() { return new ZaFileGroupDB; }
FDB_EXPORT void ZaDestroyImpGroupDB(GroupDB* db) { delete db; }
FDB_EXPORT ZaStoreAdmin* ZaCreateStoreAdmin(const char* topDir, ValNameList* settings) {
  return FdbCreateAdmin(topDir, settings);
}
FDB_EXPORT void ZaDestroyStoreAdmin(ZaStoreAdmin* admin) { delete admin; }
}
