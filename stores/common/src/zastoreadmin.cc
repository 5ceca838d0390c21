#include "zastoreadmin.h"

#include "vcard.h"
#include "zastorelimits.h"

ZaStoreBulkData::ZaStoreBulkData() = default;
ZaStoreBulkData::~ZaStoreBulkData() = default;

ZaStoreAdmin::~ZaStoreAdmin() = default;

std::string ZaStoreAdmin::InitDemoEmployees() {
  ZaStoreRefuse(__LINE__, "stores/common/src/zastoreadmin", "this store keeps its people itself: it has no employee table");
}
