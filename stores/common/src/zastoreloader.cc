#include "zastoreloader.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include <strings.h>

#include "userDB.h"
#include "vallist.h"
#include "zaconfigDB.h"
#include "zafile.h"
#include "zalock.h"
#include "zaport.h"

// Lazy binding, as the program's own store loader opens plug-ins.
static const int kLazyBinding = 1;

ValNameList* ZaReadStoreSettings(const std::string& top) {
  std::string path = top + "/config/configInfo.lst";
  std::unique_ptr<ValNameList> settings(new ValNameList);
  if (ZaCheckIfFile(path.c_str()) == ZaTrue) {
    ZaLockFileGuard lock((path + ".lck").c_str(), ZaSharedLock);
    settings->Read(path.c_str());
  }
  return settings.release();
}

std::string ZaStorePluginPath(const std::string& top, ValNameList* settings, const std::string& libDir) {
  // As the configuration reads it: anything but the LDAP or SQL word is the embedded store.
  ValNameListItem* named = settings->Lookup(ZaCEmpDirDBFormatName);
  ZaDBFormat format = ZA_ZARVO;
  for (ZaDBFormat f : {ZA_LDAP, ZA_SQL})
    if (named && named->value && strcasecmp(named->value, ZaDBFormatStr[f]) == 0) format = f;
  // GetDLLPath frees the folder text it is given when it finds nothing.
  for (const std::string& base : {top, libDir + "/.."}) {
    char* folder = strdup(base.c_str());
    char* path = GetDLLPath(folder, format);
    if (!path) continue;
    free(folder);
    std::string found = path;
    free(path);
    return found;
  }
  return "";
}

ZaLoadedStoreAdmin::ZaLoadedStoreAdmin(const std::string& pluginPath, const std::string& top, ValNameList* settings) {
  library = ZaShLibOpen(pluginPath.c_str(), kLazyBinding);
  try {
    auto create = reinterpret_cast<ZaCreateStoreAdminFunc>(ZaShLibFindSym(library, "ZaCreateStoreAdmin"));
    destroy = reinterpret_cast<ZaDestroyStoreAdminFunc>(ZaShLibFindSym(library, "ZaDestroyStoreAdmin"));
    admin = create(top.c_str(), settings);
  } catch (ZaError*) {
    ZaShLibClose(library);
    throw;
  }
}

ZaLoadedStoreAdmin::~ZaLoadedStoreAdmin() {
  destroy(admin);
  try {
    ZaShLibClose(library);
  } catch (ZaError* e) {
    delete e;  // nothing left to do with a library that would not close
  }
}
