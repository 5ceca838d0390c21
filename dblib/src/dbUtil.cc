#include "dbUtil.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "list.h"
#include "owners.h"
#include "userDB.h"
#include "vallist.h"
#include "zaconfigDB.h"
#include "zaerror.h"
#include "zaport.h"

namespace {

// dlopen mode for the store libraries: bind symbols lazily.
const int kLazyBinding = 1;

void CloseQuietly(void* handle) {
  try {
    ZaShLibClose(handle);
  } catch (ZaError* closeError) {
    // The error being reported is the one that made us close.
    delete closeError;
  }
}

}  // namespace

std::vector<size_t> ZaOrderByKeyLaterFirst(const std::vector<const char*>& keys) {
  const size_t n = keys.size();
  std::vector<size_t> order(n);
  // Latest first, so that a stable sort leaves equal keys later-first.
  for (size_t i = 0; i < n; ++i) order[i] = n - 1 - i;
  auto key = [&keys](size_t i) { return keys[i] ? keys[i] : ""; };
  std::stable_sort(order.begin(), order.end(),
                   [&key](size_t a, size_t b) { return strcasecmp(key(a), key(b)) < 0; });
  return order;
}

ValNameList* ZaSortIdsByName(ValList* ids, const std::function<char*(char*)>& nameOf) {
  std::vector<const char*> idTexts;
  std::vector<MallocText> names;
  for (ValListItem* item = ids->head; item; item = item->next) {
    idTexts.push_back(item->value);
    names.emplace_back(nameOf(item->value));
  }
  std::vector<const char*> keys;
  for (const MallocText& name : names) keys.push_back(name.get());
  auto sorted = std::make_unique<ValNameList>();
  for (size_t i : ZaOrderByKeyLaterFirst(keys)) sorted->Append(idTexts[i], keys[i]);
  return sorted.release();
}

void ZaSortPointersByKey(VoidList* list, const std::function<const char*(void*)>& keyOf) {
  std::vector<void*> data;
  std::vector<const char*> keys;
  for (VoidItem* item = list->head; item; item = item->next) {
    data.push_back(item->data);
    keys.push_back(keyOf(item->data));
  }
  VoidItem* item = list->head;
  for (size_t i : ZaOrderByKeyLaterFirst(keys)) {
    item->data = data[i];
    item = item->next;
  }
}

void ZaUseStoreEntry(ZaConfigDB* config, const char* source, const char* entryName,
                     const char* failedLine, bool keepLoaded,
                     const std::function<void(void* entry)>& useEntry) {
  ZaDBFormat format = config->DBFormat(ZA_EMP_DIR_DB);
  MallocText path;
  void* handle = nullptr;
  try {
    // GetDLLPath frees the top directory it is given when it finds nothing,
    // and the configuration keeps its own text, so it gets a copy.
    char* topDir = strdup(config->GetTopZarvoDir());
    path.reset(GetDLLPath(topDir, format));
    if (!path) {
      ZaError* e = new ZaError();
      e->AddLine(__LINE__, source, "Unable to locate the shared library to load!", ZaFalse);
      throw e;
    }
    free(topDir);
    handle = ZaShLibOpen(path.get(), kLazyBinding);
    void* entry = ZaShLibFindSym(handle, entryName);
    if (!entry) {
      std::string message = std::string("Unable to find ") + entryName +
                            "() in the shared library " + path.get();
      ZaError* e = new ZaError();
      e->AddLine(__LINE__, source, message.c_str(), ZaFalse);
      throw e;
    }
    useEntry(entry);
    // Creation keeps the reference taken above so that the store's code stays
    // mapped for the life of the process; destruction gives it back.
    if (!keepLoaded) {
      void* loaded = handle;
      handle = nullptr;
      ZaShLibClose(loaded);
    }
  } catch (ZaError* e) {
    if (handle) CloseQuietly(handle);
    e->AddLine(__LINE__, source, failedLine, ZaFalse);
    throw;
  }
}

void ZaRaiseReservedSlot(const char* source, const char* className, int slot) {
  std::string message = std::string(className) + " slot " + std::to_string(slot) +
                        " is not provided by this directory store";
  ZaError* e = new ZaError();
  e->AddLine(__LINE__, source, message.c_str(), ZaFalse);
  throw e;
}
