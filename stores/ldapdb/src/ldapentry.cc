// The plug-in's entry points, which the program's store loader looks up by name.
#include "ldapuserdb.h"

#define LDAPDB_EXPORT __attribute__((visibility("default")))

extern "C" {
LDAPDB_EXPORT UserDB* ZaCreateImpUserDB() { return new ZaLdapUserDB; }
LDAPDB_EXPORT void ZaDestroyImpUserDB(UserDB* db) { delete db; }
LDAPDB_EXPORT GroupDB* ZaCreateImpGroupDB() { return new ZaLdapGroupDB; }
LDAPDB_EXPORT void ZaDestroyImpGroupDB(GroupDB* db) { delete db; }
}
