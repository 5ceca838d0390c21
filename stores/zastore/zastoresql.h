// zastore's settings command for the SQL store: points an installation's
// configuration at a PostgreSQL database.
#ifndef ZASTORESQL_H
#define ZASTORESQL_H

#include <string>

struct SQLInfoRec;

// Writes the SQL settings of `info` (the password in it in plain text; the
// file keeps it scrambled) and names the SQL store as the employee
// directory's format in TOP/config/configInfo.lst. Throws a ZaError* when
// the file cannot be written.
void ZaStoreWriteSqlSettings(const std::string& top, SQLInfoRec* info);

#endif
