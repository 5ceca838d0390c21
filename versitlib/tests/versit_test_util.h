// Helpers of the versit library's tests: building entries, and turning
// entries, cards and malloc texts into strings that compare.
#ifndef VERSIT_TEST_UTIL_H
#define VERSIT_TEST_UTIL_H

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "vcard.h"
#include "zaerror.h"

using Params = std::vector<std::pair<int, int>>;  // kind, value index

inline VCardEntry* NewEntry(int propId, const char* value, const Params& params = {}) {
    VCardEntry* e = new VCardEntry(propId, value);
    for (const auto& p : params) e->AddSubType(p.first, p.second);
    return e;
}

inline Params ParamsOf(const VCardEntry& e) {
    Params out;
    for (const VCardSubType* s = e.subTypes; s != nullptr; s = s->next) out.push_back({s->kind, s->valueIndex});
    return out;
}

// The text, "<null>" for none; the text is freed.
inline std::string TakeText(char* s) {
    std::string out = s != nullptr ? s : "<null>";
    free(s);
    return out;
}

// Each entry as "id=value;kind/value...|", in card order.
inline std::string Describe(const VCard& card) {
    std::string out;
    for (const VCardEntry* e = card.entries; e != nullptr; e = e->next) {
        out += std::to_string(e->propId) + "=" + (e->value != nullptr ? e->value : "<none>");
        for (const auto& p : ParamsOf(*e)) out += ";" + std::to_string(p.first) + "/" + std::to_string(p.second);
        out += "|";
    }
    return out;
}

// The error that `action` throws (the caller owns it), or null when it throws none.
template <typename Action>
ZaError* Thrown(Action action) {
    try {
        action();
    } catch (ZaError* e) {
        return e;
    }
    return nullptr;
}

#endif
