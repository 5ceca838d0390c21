// Text helpers the library's sources share: an owner for malloc texts,
// copies of texts that may be null, and the server platform's name. They
// stay local to each source, so that they never meet the programs' own
// helpers of the same names.
#ifndef TEXTSUPPORT_H
#define TEXTSUPPORT_H

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "zaport.h"

namespace {

struct FreeText {
    void operator()(void* p) const { free(p); }
};
using OwnedText = std::unique_ptr<char, FreeText>;

inline char* CopyOrNull(const char* text) { return text ? strdup(text) : nullptr; }

// Puts a copy of text (or null) in place of the malloc text in field; text
// may be the field's own value.
inline void ReplaceCopy(char*& field, const char* text) {
    char* copy = CopyOrNull(text);
    free(field);
    field = copy;
}

inline std::string PlatformName() {
    OwnedText name(ZaGetPlatform());
    return name ? name.get() : "";
}

}  // namespace

#endif
