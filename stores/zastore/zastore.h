// zastore: sets up and fills the flat-file directory store of an installation.
#ifndef ZASTORE_H
#define ZASTORE_H

#include <string>
#include <vector>

class FileDirStore;
struct FdbBulkData;

// A bad command line: the message is printed with the usage and the tool exits with 2.
struct ZaStoreUsageError {
  std::string message;
};

// A generated directory: `people` people with accounts, `nonCurrent` more
// accounts of people who have left, `groups` groups with members, documents,
// hotlists, styles and data files. The same seed gives the same directory.
void ZaStoreGenerate(long people, long groups, long nonCurrent, unsigned long seed, FdbBulkData* out);

#endif
