// Data folders of users and groups, which every store keeps on the file
// system under its data folder ("users/<id>", "groups/<id>", the ID in lower
// case), and the disk usage measured from them.
#ifndef ZASTOREFOLDERS_H
#define ZASTOREFOLDERS_H

#include <string>

std::string ZaStoreUserFolder(const std::string& dataDir, const std::string& uid);
std::string ZaStoreGroupFolder(const std::string& dataDir, const std::string& gid);

// Bytes of every file below the folder (ZaGetDirSize); 0 when it is missing.
long long ZaStoreFolderSize(const std::string& folder);
// Creates the folder if needed and writes a new file of `bytes` bytes into it
// (sparse: it takes no disk blocks). False when that fails.
bool ZaStoreWriteDataFile(const std::string& folder, long long bytes);
// Removes the folder and everything below it; a missing folder is no error.
// Throws a ZaError* when it cannot be removed.
void ZaStoreRemoveFolder(const std::string& folder);

#endif
