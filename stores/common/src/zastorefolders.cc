#include "zastorefolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "zafile.h"
#include "zastorelimits.h"

static const char kSource[] = "stores/common/src/zastorefolders";

std::string ZaStoreUserFolder(const std::string& dataDir, const std::string& uid) {
  return dataDir + "/users/" + ZaStoreKey(uid);
}

std::string ZaStoreGroupFolder(const std::string& dataDir, const std::string& gid) {
  return dataDir + "/groups/" + ZaStoreKey(gid);
}

long long ZaStoreFolderSize(const std::string& folder) {
  if (ZaCheckIfDirectory(folder.c_str()) != ZaTrue) return 0;
  return ZaGetDirSize(folder.c_str());
}

bool ZaStoreWriteDataFile(const std::string& folder, long long bytes) {
  if (bytes < 0) return false;
  std::string parent = folder.substr(0, folder.rfind('/'));
  if (ZaMkdir(parent.c_str(), 0755, ZaTrue) != ZaTrue || ZaMkdir(folder.c_str(), 0755, ZaTrue) != ZaTrue)
    return false;
  std::string name = folder + "/data-XXXXXX";
  int fd = mkstemp(&name[0]);
  if (fd < 0) return false;
  bool ok = fchmod(fd, 0644) == 0 && ftruncate(fd, bytes) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok) unlink(name.c_str());
  return ok;
}

void ZaStoreRemoveFolder(const std::string& folder) {
  if (ZaRemoveDir(folder.c_str()) != ZaTrue || ZaCheckIfDirectory(folder.c_str()) == ZaTrue)
    ZaStoreFail(__LINE__, kSource, "Unable to remove the folder " + folder);
}
