// The store contract suite against the SQL store on a real PostgreSQL server.
#include "sqltesting.h"
#include "storecontract.h"

INSTANTIATE_TEST_SUITE_P(SqlStore, StoreContract,
                         ::testing::Values(StoreContractTarget{"SqlStore", ZA_BINARY_DIR "/lib/zasqldblib_cgi.so",
                                                               SqlTestPrepare}));
