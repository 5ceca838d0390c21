// A generated directory for demonstrations and benchmarks, the same for
// every store.
#ifndef ZASTORESEED_H
#define ZASTORESEED_H

#include "zastoreadmin.h"

// `people` people with accounts, `nonCurrent` more accounts of people who have
// left, `groups` groups with members, documents, hotlists, styles and data
// files. The same seed gives the same directory.
void ZaStoreGenerate(long people, long groups, long nonCurrent, unsigned long seed, ZaStoreBulkData* out);

#endif
