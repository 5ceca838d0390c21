// The vCard model: entries with parameters, cards, lookups and word searches.
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include "chain.h"
#include "stringutil.h"
#include "vcard.h"

namespace {

char* CopyText(const char* s) { return s != nullptr ? strdup(s) : nullptr; }

// Whether every word (all = true) or at least one word occurs in value.
// A word without text occurs nowhere.
bool WordsOccur(const ValList* words, const char* value, bool all) {
    for (const ValListItem* w = words ? words->head : nullptr; w != nullptr; w = w->next) {
        const bool found = w->value != nullptr && StringSubstring(w->value, value) != nullptr;
        if (found != all) return found;
    }
    return all;
}

bool HasNoWords(const ValList* words) { return words == nullptr || words->count == 0; }

}  // namespace

VCardSubType::VCardSubType() : kind(0), valueIndex(0), next(nullptr) {}

VCardSubType::VCardSubType(int k, int v) : kind(k), valueIndex(v), next(nullptr) {}

VCardSubType* VCardSubType::Copy() const { return new VCardSubType(kind, valueIndex); }

VCardEntry::VCardEntry() : propId(0), value(nullptr), subTypes(nullptr), next(nullptr) {}

VCardEntry::VCardEntry(int id, const char* v)
    : propId(id), value(CopyText(v)), subTypes(nullptr), next(nullptr) {}

VCardEntry::~VCardEntry() {
    free(value);
    DeleteChain(subTypes);
}

VCardEntry* VCardEntry::AddSubType(VCardSubType* sub) {
    AppendToChain(subTypes, sub);
    return this;
}

VCardEntry* VCardEntry::AddSubType(int kind, int valueIndex) {
    return AddSubType(new VCardSubType(kind, valueIndex));
}

VCardEntry* VCardEntry::Copy() const {
    VCardEntry* copy = new VCardEntry(propId, value);
    copy->subTypes = CopyChain(subTypes);
    return copy;
}

char* VCardEntry::GetValue() const { return CopyText(value); }

void VCardEntry::SetPropValue(const char* v) {
    char* copy = CopyText(v);  // before freeing: v may be this entry's own value
    free(value);
    value = copy;
}

ZaBoolean VCardEntry::IsPrintable() const {
    switch (propId) {
        case VCardPropN:
        case VCardPropPhoto:
        case VCardPropUid:
        case VCardPropMgrUid:
        case VCardPropDirectReportUid:
            return ZaFalse;
        default:
            return ZaTrue;
    }
}

ZaBoolean VCardEntry::IsDisplayable() const {
    return (IsPrintable() == ZaTrue || (propId == VCardPropUid && subTypes != nullptr)) ? ZaTrue
                                                                                        : ZaFalse;
}

ZaBoolean VCardEntry::IsAlike(const VCardEntry* other) const {
    if (other == nullptr || other->propId != propId) return ZaFalse;
    const VCardSubType* a = subTypes;
    const VCardSubType* b = other->subTypes;
    for (; a != nullptr && b != nullptr; a = a->next, b = b->next) {
        if (a->valueIndex != b->valueIndex) return ZaFalse;
    }
    return (a == nullptr && b == nullptr) ? ZaTrue : ZaFalse;
}

VCard::VCard() : entries(nullptr), next(nullptr) {}

VCard::~VCard() { DeleteChain(entries); }

VCard* VCard::AddEntry(VCardEntry* entry) {
    AppendToChain(entries, entry);
    return this;
}

VCard* VCard::AddEntry(int propId, const char* value) {
    return AddEntry(new VCardEntry(propId, value));
}

int VCard::GetNumEntries() const {
    int n = 0;
    for (const VCardEntry* e = entries; e != nullptr; e = e->next) ++n;
    return n;
}

VCardEntry* VCard::GetEntry(int propId) const {
    for (VCardEntry* e = entries; e != nullptr; e = e->next) {
        if (e->propId == propId) return e;
    }
    return nullptr;
}

VCardEntry* VCard::GetEntry(int propId, int valueIndex) const {
    for (VCardEntry* e = entries; e != nullptr; e = e->next) {
        if (e->propId != propId) continue;
        for (const VCardSubType* s = e->subTypes; s != nullptr; s = s->next) {
            if (s->valueIndex == valueIndex) return e;
        }
    }
    return nullptr;
}

VCardEntry* VCard::GetEntry(const VCardEntry* alike) const {
    for (VCardEntry* e = entries; e != nullptr; e = e->next) {
        if (e->IsAlike(alike) == ZaTrue) return e;
    }
    return nullptr;
}

VCardEntry* VCard::GetNthEntry(int n) const {
    if (n < 0) return nullptr;
    VCardEntry* e = entries;
    for (; e != nullptr && n > 0; e = e->next) --n;
    return e;
}

int VCard::GetEntryOrder(const VCardEntry* alike) const {
    int i = 0;
    for (const VCardEntry* e = entries; e != nullptr; e = e->next, ++i) {
        if (e->IsAlike(alike) == ZaTrue) return i;
    }
    return -1;
}

int VCard::GetEntryOrder(int propId) const {
    int i = 0;
    for (const VCardEntry* e = entries; e != nullptr; e = e->next, ++i) {
        if (e->propId == propId) return i;
    }
    return -1;
}

VCardEntry* VCard::FindSearchType(const char* label) const {
    // "All" stands for every field, so it names none in particular.
    if (label == nullptr || strcasecmp(label, "All") == 0) return nullptr;
    for (VCardEntry* e = entries; e != nullptr; e = e->next) {
        if (e->IsPrintable() == ZaTrue && e->value != nullptr && strcasecmp(e->value, label) == 0)
            return e;
    }
    return nullptr;
}

// Positions beyond the card, below 1, or equal leave the card as it is, so
// that it always stays one proper chain.
void VCard::SwapEntries(int i, int j) {
    std::vector<VCardEntry*> order;
    for (VCardEntry* e = entries; e != nullptr; e = e->next) order.push_back(e);
    const int n = static_cast<int>(order.size());
    if (i == j || i < 1 || j < 1 || i > n || j > n) return;
    std::swap(order[i - 1], order[j - 1]);
    entries = order.front();
    for (int k = 0; k + 1 < n; ++k) order[k]->next = order[k + 1];
    order.back()->next = nullptr;
}

VCardEntry* VCard::SearchVCardAND(const ValList* words, const VCardEntry* field) const {
    VCardEntry* e = GetEntry(field);
    if (e == nullptr || e->value == nullptr) return nullptr;
    return (HasNoWords(words) || WordsOccur(words, e->value, true)) ? e : nullptr;
}

VCardEntry* VCard::SearchVCardAND(const ValList* words, const VCard* fields) const {
    for (const VCardEntry* f = fields ? fields->entries : nullptr; f != nullptr; f = f->next) {
        if (f->IsPrintable() != ZaTrue || f->value == nullptr) continue;
        if (VCardEntry* e = SearchVCardAND(words, f)) return e;
    }
    return nullptr;
}

VCardEntry* VCard::SearchVCardOR(const ValList* words, const VCardEntry* field) const {
    VCardEntry* e = GetEntry(field);
    if (e == nullptr || e->value == nullptr) return nullptr;
    return WordsOccur(words, e->value, false) ? e : nullptr;
}

VCardEntry* VCard::SearchVCardOR(const ValList* words, const VCard* fields) const {
    for (const VCardEntry* f = fields ? fields->entries : nullptr; f != nullptr; f = f->next) {
        if (f->IsPrintable() != ZaTrue || f->value == nullptr) continue;
        if (VCardEntry* e = SearchVCardOR(words, f)) return e;
    }
    return nullptr;
}

VCard* VCard::Copy() const {
    VCard* copy = new VCard;
    copy->entries = CopyChain(entries);
    return copy;
}
