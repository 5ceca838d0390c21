// Helpers shared by the user and group store code: the ordering used by the
// SortByValue operations and the loading of the configured store plug-in.
#ifndef ZA_DBUTIL_H
#define ZA_DBUTIL_H

#include <cstddef>
#include <functional>
#include <vector>

class ValList;
class ValNameList;
class VoidList;
class ZaConfigDB;

// Positions of `keys` in ascending order ignoring letter case; among equal keys
// the one that came later stands first. A null key sorts as "".
std::vector<size_t> ZaOrderByKeyLaterFirst(const std::vector<const char*>& keys);

// A new list (caller deletes) with one item per ID of `ids`: the ID as name and
// nameOf(ID) as value, ordered by value as ZaOrderByKeyLaterFirst does.
// nameOf returns a malloc text (or null) that is freed here; `ids` is unchanged.
ValNameList* ZaSortIdsByName(ValList* ids, const std::function<char*(char*)>& nameOf);

// Reorders the pointers of `list` in place by keyOf(pointer), as above; the
// keys are borrowed.
void ZaSortPointersByKey(VoidList* list, const std::function<const char*(void*)>& keyOf);

// Loads the store library configured in `config`, finds `entryName` and hands
// its address to `useEntry`. With `keepLoaded` the library stays loaded after
// success (the created store needs its code); otherwise it is closed once after
// the call. On a ZaError the library is closed if it was opened, `failedLine`
// is added (under `source`) and the error is thrown on. Trace lines are never
// shown to the user.
void ZaUseStoreEntry(ZaConfigDB* config, const char* source, const char* entryName,
                     const char* failedLine, bool keepLoaded,
                     const std::function<void(void* entry)>& useEntry);

// Raises the internal error of a virtual slot that the loaded store does not
// provide (slots reserved for the suite's other programs).
[[noreturn]] void ZaRaiseReservedSlot(const char* source, const char* className, int slot);

#endif
