// The plug-in's entry points, the only symbols it exports.
#include "sqluserdb.h"

extern "C" {
__attribute__((visibility("default"))) UserDB* ZaCreateImpUserDB() { return new ZaSqlUserDB; }
__attribute__((visibility("default"))) void ZaDestroyImpUserDB(UserDB* db) { delete db; }
__attribute__((visibility("default"))) GroupDB* ZaCreateImpGroupDB() { return new ZaSqlGroupDB; }
__attribute__((visibility("default"))) void ZaDestroyImpGroupDB(GroupDB* db) { delete db; }
}
