#include "zastoreadmin.h"

#include "vcard.h"

ZaStoreBulkData::ZaStoreBulkData() = default;
ZaStoreBulkData::~ZaStoreBulkData() = default;

ZaStoreAdmin::~ZaStoreAdmin() = default;
