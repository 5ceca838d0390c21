// The plug-in's entry points, which the program's store loader looks up by name.
#include "fdbuserdb.h"

#define FDB_EXPORT __attribute__((visibility("default")))

extern "C" {
FDB_EXPORT UserDB* ZaCreateImpUserDB() { return new ZaFileUserDB; }
FDB_EXPORT void ZaDestroyImpUserDB(UserDB* db) { delete db; }
FDB_EXPORT GroupDB* ZaCreateImpGroupDB() { return new ZaFileGroupDB; }
FDB_EXPORT void ZaDestroyImpGroupDB(GroupDB* db) { delete db; }
}
