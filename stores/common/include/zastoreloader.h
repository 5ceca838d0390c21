// Loads a store plug-in for administration: the library the installation's
// configuration names, and the administration object it makes.
#ifndef ZASTORELOADER_H
#define ZASTORELOADER_H

#include <string>

#include "zastoreadmin.h"

class ValNameList;

// The installation's settings: TOP/config/configInfo.lst read under its lock
// (empty when there is none). New list, the caller deletes it.
ValNameList* ZaReadStoreSettings(const std::string& top);

// The plug-in file for the store format the settings name: TOP/lib/za<format>lib_cgi.so
// when the installation has it, else the same name in `libDir`. "" when neither exists.
std::string ZaStorePluginPath(const std::string& top, ValNameList* settings, const std::string& libDir);

// The library loaded and its administration object made, for the life of
// this object. Failures raise a ZaError* and leave nothing loaded.
class ZaLoadedStoreAdmin {
 public:
  ZaLoadedStoreAdmin(const std::string& pluginPath, const std::string& top, ValNameList* settings);
  ~ZaLoadedStoreAdmin();
  ZaLoadedStoreAdmin(const ZaLoadedStoreAdmin&) = delete;
  ZaLoadedStoreAdmin& operator=(const ZaLoadedStoreAdmin&) = delete;

  ZaStoreAdmin* operator->() const { return admin; }
  ZaStoreAdmin& operator*() const { return *admin; }

 private:
  void* library = nullptr;
  ZaStoreAdmin* admin = nullptr;
  ZaDestroyStoreAdminFunc destroy = nullptr;
};

#endif
