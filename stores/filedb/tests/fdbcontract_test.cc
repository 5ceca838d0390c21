// The store contract suite against the embedded store.
#include "storecontract.h"

static std::string PrepareFileStore(const std::string&) { return "FileDBDir:data\n"; }

INSTANTIATE_TEST_SUITE_P(FileStore, StoreContract,
                         ::testing::Values(StoreContractTarget{"FileStore", ZA_BINARY_DIR "/lib/zafiledblib_cgi.so",
                                                               PrepareFileStore}));
