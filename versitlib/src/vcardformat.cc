// Readable forms of the structured values N, ADR and ORG.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "stringutil.h"
#include "vallist.h"
#include "vcard.h"

namespace {

// The value's fields between ';', every field but the last trimmed.
std::unique_ptr<ValList> Fields(const char* value) {
    return std::unique_ptr<ValList>(StringTokenize(value, ';'));
}

char* ToMalloc(const std::string& s) { return strdup(s.c_str()); }

// The fields joined by single blanks; a list shorter than `count` is padded
// with empty fields, and count < 0 takes every field.
char* JoinFields(const char* value, int count) {
    std::unique_ptr<ValList> fields = Fields(value);
    std::string out;
    int i = 0;
    for (const ValListItem* f = fields->head; f != nullptr && (count < 0 || i < count); f = f->next, ++i) {
        if (i > 0) out += ' ';
        if (f->value != nullptr) out += f->value;
    }
    for (; i < count; ++i) {
        if (i > 0) out += ' ';
    }
    return ToMalloc(out);
}

enum NameField { kFamily = 0, kGiven = 1, kAdditional = 2, kPrefix = 3, kSuffix = 4, kNameFields = 5 };
const int kAdrFields = 7;

}  // namespace

char** VCardEntry::FormatNArray() const {
    if (value == nullptr) return nullptr;
    return GetArray(Fields(value).get(), kNameFields);
}

char* VCardEntry::FormatN() const {
    if (value == nullptr) return nullptr;
    std::unique_ptr<ValList> fields = Fields(value);
    // A field is present when the value has it, even empty; it then adds its
    // text and a blank, so an empty middle name leaves a double blank.
    std::string out;
    for (int which : {kPrefix, kGiven, kAdditional, kFamily}) {
        if (const ValListItem* f = fields->GetNthItem(which)) {
            if (f->value != nullptr) out += f->value;
            out += ' ';
        }
    }
    if (const ValListItem* suffix = fields->GetNthItem(kSuffix)) {
        if (suffix->value != nullptr) out += suffix->value;
    }
    return ToMalloc(out);
}

char* VCardEntry::FormatAdr() const {
    if (value == nullptr) return nullptr;
    return JoinFields(value, kAdrFields);
}

char* VCardEntry::FormatOrg() const {
    if (value == nullptr) return nullptr;
    return JoinFields(value, -1);
}
