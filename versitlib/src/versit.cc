// vCard lines: parsing name parts into entries, writing entries and cards, and
// the versit files that hold cards one after another, with their card index.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

#include "chain.h"
#include "string_class.h"
#include "stringutil.h"
#include "vallist.h"
#include "vcard.h"
#include "versit.h"
#include "zacallback.h"
#include "zaerror.h"

namespace {

const char kSource[] = "versitlib/src/versit";
const size_t kLabelPrefixLen = sizeof(ZarvoLabelPrefix) - 1;
const size_t kTypePrefixLen = sizeof(ZarvoTypePrefix) - 1;
const int kNamedTypes = VCardTypeCustomBase;  // rows of typevalPropArray
const int kValueNames = 4;                    // rows of valuevalPropArray
const int kEncodingNames = 4;                 // rows of encodingvalPropArray
const int kProgressEvery = 350;               // cards between progress reports

struct FreeDeleter {
    void operator()(char* p) const { free(p); }
};
using MallocText = std::unique_ptr<char, FreeDeleter>;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
const char* SkipBlanks(const char* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

[[noreturn]] void ThrowUserError(int line, const std::string& message) {
    ZaError* e = new ZaError;
    e->level = 4;
    e->AddLine(line, kSource, message.c_str(), ZaTrue);
    throw e;
}

[[noreturn]] void ThrowBadType() {
    ZaError* e = new ZaError;
    e->AddLine(934, kSource, "VersitDB - Bad Type!", ZaFalse);
    throw e;
}

[[noreturn]] void Rethrow(ZaError* e, int line, const char* message) {
    e->AddLine(line, kSource, message, ZaFalse);
    throw e;
}

// The text of one parameter, up to the next ';' or ':', for messages.
std::string ParameterText(const char* p) { return std::string(p, strcspn(p, ";:")); }

// Reads the decimal digits at p into *n and returns the end of the digits, or
// null when there are none; *n is -1 when the number exceeds `limit`.
const char* ReadNumber(const char* p, int limit, int* n) {
    if (*p < '0' || *p > '9') return nullptr;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (v <= limit) v = v * 10 + (*p - '0');
    }
    *n = v <= limit ? static_cast<int>(v) : -1;
    return p;
}

// The digits of "X-ZARVO-TYPE-<n>" end the parameter: the text ends, or the
// next parameter or the value follows. Anything else, a blank included, makes
// it some other "X-" type, which is stepped over.
bool EndsCustomType(char c) { return c == '\0' || c == ';' || c == ':'; }
bool EndsPropertyName(char c) { return c == '\0' || c == ';' || c == '=' || IsBlank(c); }

std::string TableName(const PropNameAndSize* table, int rows, int index) {
    if (index < 0 || index >= rows) ThrowBadType();
    return table[index].name;
}

std::string TypeName(int valueIndex) {
    if (valueIndex >= VCardTypeCustomBase)
        return ZarvoTypePrefix + std::to_string(valueIndex - VCardTypeCustomBase);
    return TableName(typevalPropArray, kNamedTypes, valueIndex);
}

std::string PropertyName(int propId) {
    if (propId >= VCardPropCustomBase)
        return ZarvoLabelPrefix + std::to_string(propId - VCardPropCustomBase);
    return TableName(propArray, VCardPropCustomBase, propId);
}

// The name part of an entry: file form ("TEL;WORK;VALUE=URL") or display form
// ("TEL(WORK)(VALUE=URL)").
std::string NamePart(const VCardEntry& entry, bool display) {
    std::string out = PropertyName(entry.propId);
    const char* open = display ? "(" : ";";
    const char* close = display ? ")" : "";
    for (const VCardSubType* s = entry.subTypes; s != nullptr; s = s->next) {
        out += open;
        switch (s->kind) {
            case VCardKindType:
                out += TypeName(s->valueIndex);
                break;
            case VCardKindValue:
                out += "VALUE=" + TableName(valuevalPropArray, kValueNames, s->valueIndex);
                break;
            case VCardKindEncoding:
                out += "ENCODING=" + TableName(encodingvalPropArray, kEncodingNames, s->valueIndex);
                break;
            default:
                ThrowBadType();
        }
        out += close;
    }
    return out;
}

char* ToMalloc(const std::string& s) { return strdup(s.c_str()); }

}  // namespace

// ---------------------------------------------------------------- parsing

VCardSubType* VCardEntry::ParseSubProperty(const char** cursor) {
    const char* start = *cursor != nullptr ? *cursor : "";
    const char* p = start;
    int kind = MatchWordFromArray(&p, subPropArray);
    if (kind >= 0) {
        p = SkipBlanks(p);
        if (*p != '=') ThrowUserError(1158, "Keywords must be followed by '=' : " + ParameterText(start));
        p = SkipBlanks(p + 1);
    } else {
        kind = VCardKindType;  // a bare type, as in "TEL;WORK"
    }
    int value = -1;
    switch (kind) {
        case VCardKindType: {
            value = MatchWordFromArray(&p, typevalPropArray);
            if (value >= 0) break;
            int n = 0;
            const char* end = nullptr;
            if (strncasecmp(p, ZarvoTypePrefix, kTypePrefixLen) == 0 &&
                (end = ReadNumber(p + kTypePrefixLen, INT_MAX - VCardTypeCustomBase, &n)) != nullptr &&
                EndsCustomType(*end)) {
                if (n < 0) ThrowUserError(1211, "Value for TYPE sub-property not found : " + ParameterText(start));
                value = VCardTypeCustomBase + n;
                p = end;
            } else if (strncasecmp(p, "X-", 2) == 0) {
                // Another application's type: stepped over, not kept.
                p += strcspn(p, ";:");
                *cursor = p;
                return new VCardSubType(VCardKindSkipped, VCardKindSkipped);
            } else {
                ThrowUserError(1211, "Value for TYPE sub-property not found : " + ParameterText(start));
            }
            break;
        }
        case VCardKindValue:
            value = MatchWordFromArray(&p, valuevalPropArray);
            if (value < 0) ThrowUserError(1220, "Value for VALUE sub-property not found : " + ParameterText(start));
            break;
        case VCardKindEncoding:
            value = MatchWordFromArray(&p, encodingvalPropArray);
            if (value < 0)
                ThrowUserError(1229, "Value for ENCODING sub-property not found : " + ParameterText(start));
            break;
        case VCardKindCharset:
            ThrowUserError(1235, "CHARSET sub-property not supported : " + ParameterText(start));
        default:
            ThrowUserError(1240, "LANGUAGE sub-property not supported : " + ParameterText(start));
    }
    *cursor = p;
    return new VCardSubType(kind, value);
}

VCardSubType* VCardEntry::ParseSubProperty(char** cursor) {
    const char* c = *cursor;
    VCardSubType* sub = ParseSubProperty(&c);
    *cursor += c - *cursor;
    return sub;
}

// Refusals: an unknown name (or none) is "Bad format for property name", a
// message of its own, as the card's line number already points at it; a
// custom label whose number does not fit is "Bad property value"; anything but
// ';' between the name and a parameter or between parameters is "Bad property
// value (it must contain a ';')".
VCardEntry* VCardEntry::ParsePropertyName(const char* namePart) {
    try {
        const char* p = SkipBlanks(namePart != nullptr ? namePart : "");
        int id = MatchWordFromArray(&p, propArray);
        if (id < 0) {
            int n = 0;
            const char* end = nullptr;
            if (strncasecmp(p, ZarvoLabelPrefix, kLabelPrefixLen) == 0 &&
                (end = ReadNumber(p + kLabelPrefixLen, INT_MAX - VCardPropCustomBase, &n)) != nullptr &&
                EndsPropertyName(*end)) {
                if (n < 0) ThrowUserError(__LINE__, std::string("Bad property value : ") + p);
                id = VCardPropCustomBase + n;
                p = end;
            } else if (strncasecmp(p, "X-", 2) == 0) {
                // Another application's property: the whole line is ignored,
                // parameters included.
                return new VCardEntry(VCardPropIgnored, nullptr);
            } else {
                ThrowUserError(__LINE__, "Bad format for property name");
            }
        }
        std::unique_ptr<VCardEntry> entry(new VCardEntry(id, nullptr));
        for (p = SkipBlanks(p); *p != '\0'; p = SkipBlanks(p)) {
            if (*p != ';') ThrowUserError(__LINE__, std::string("Bad property value (it must contain a ';') : ") + p);
            p = SkipBlanks(p + 1);
            std::unique_ptr<VCardSubType> sub(ParseSubProperty(&p));
            if (sub->kind != VCardKindSkipped) entry->AddSubType(sub.release());
        }
        return entry.release();
    } catch (ZaError* e) {
        Rethrow(e, __LINE__, "Error rethrown in ParsePropertyName");
    }
}

// ---------------------------------------------------------------- writing

void VCardEntry::Print(FILE* f) const {
    std::string line = NamePart(*this, false) + ":";
    if (value != nullptr) {
        String folded(value);
        folded.PrepareForWriting();
        line += folded.text;
    }
    line += '\n';
    fputs(line.c_str(), f);
}

char* VCardEntry::GetNameAndSubTypes() const { return ToMalloc(NamePart(*this, false)); }

char* VCardEntry::GetDisplayRep() const { return ToMalloc(NamePart(*this, true)); }

void VCard::Print(FILE* f) const {
    fputs("BEGIN:vCard\n", f);
    for (const VCardEntry* e = entries; e != nullptr; e = e->next) e->Print(f);
    fputs("END:vCard\n", f);
}

char* VCard::Print(ZaBoolean printableOnly) const {
    std::string out = "begin:vCard\n";
    for (const VCardEntry* e = entries; e != nullptr; e = e->next) {
        if (printableOnly == ZaTrue && e->IsPrintable() != ZaTrue) continue;
        out += NamePart(*e, false) + ":";
        if (e->value != nullptr) out += e->value;
        out += '\n';
    }
    out += "end:vCard";
    return ToMalloc(out);
}

// ---------------------------------------------------------------- versit files

namespace {

void ReportProgress(ZaProgressCallback callback, void* data, int count) {
    if (callback == nullptr) return;
    char text[] = " records processed";
    CallbackProgress progress;
    progress.Init(count, text, nullptr);
    callback(data, &progress);
}

// Reads the cards from the file's current position to its end and hands each
// to visit with the offset it starts at and its place among the cards read;
// progress is reported every kProgressEvery cards and once at the end.
template <class Visit>
void ForEachCard(VersitFile& versit, ZaProgressCallback callback, void* data, Visit visit) {
    int count = 0;
    for (;;) {
        const long offset = versit.GetVCardFileOffset();
        std::unique_ptr<VCard> card(versit.GetVCardFromFile());
        if (!card) break;
        visit(*card, offset, count);
        if (++count % kProgressEvery == 0) ReportProgress(callback, data, count);
    }
    ReportProgress(callback, data, count);
}

// A UID must fit on one index line as the name before the colon.
bool IsIndexableUid(const char* uid) { return uid != nullptr && strpbrk(uid, ":\r\n") == nullptr; }

// The byte offset stored in an index item; -1 when it is not a plain number.
long ParseOffset(const char* text) {
    if (text == nullptr) return -1;
    text = SkipBlanks(text);
    if (*text < '0' || *text > '9') return -1;
    errno = 0;
    char* end = nullptr;
    const long offset = strtol(text, &end, 10);
    if (errno != 0 || *SkipBlanks(end) != '\0') return -1;
    return offset;
}

// The value that starts with `first`, joined with the physical lines it is
// folded over: while the text so far ends in a fold, the next line, less its
// leading blank, goes on with it (counted as a line of the file, and taken
// whatever it holds). Each piece is unfolded on its own, so a value folded
// over many lines costs time in proportion to its length.
std::string UnfoldValue(VersitFile& versit, const char* first) {
    std::string value;
    String piece(first);
    for (;;) {
        const ZaBoolean folded = piece.VersitUnescape();
        if (piece.text != nullptr) value += piece.text;
        if (folded != ZaTrue) return value;
        String more;
        if (more.GetField(versit.file) != ZaTrue) return value;  // the file ends inside the fold
        versit.IncrementLineNumber();
        piece = String(more.length > 0 ? more.text + 1 : "");
    }
}

// Appends cards to a chain in constant time per card.
class CardChain {
public:
    ~CardChain() { DeleteChain(head_); }
    void Append(VCard* card) {
        *tail_ = card;
        tail_ = &card->next;
    }
    VCard* Release() {
        VCard* head = head_;
        head_ = nullptr;
        tail_ = &head_;
        return head;
    }

private:
    VCard* head_ = nullptr;
    VCard** tail_ = &head_;
};

}  // namespace

VersitFile::VersitFile() : keepAsRead(ZaFalse), lineNumber(-1), cards(nullptr), file(nullptr) {}

VersitFile::~VersitFile() {
    DeleteCards();
    CloseFile();
}

ZaBoolean VersitFile::Open(const char* path, ZaBoolean keep) {
    Close();
    keepAsRead = keep;
    lineNumber = -1;
    file = path != nullptr ? fopen(path, "r") : nullptr;
    return file != nullptr ? ZaTrue : ZaFalse;
}

ZaBoolean VersitFile::OpenForWriting(const char* path) {
    Close();
    lineNumber = -1;
    file = path != nullptr ? fopen(path, "w") : nullptr;
    return file != nullptr ? ZaTrue : ZaFalse;
}

ZaBoolean VersitFile::Close() {
    DeleteCards();
    return CloseFile();
}

void VersitFile::DeleteCards() {
    DeleteChain(cards);
    cards = nullptr;
}

ZaBoolean VersitFile::CloseFile() {
    if (file == nullptr) return ZaTrue;
    const int rc = fclose(file);
    file = nullptr;
    return rc == 0 ? ZaTrue : ZaFalse;
}

void VersitFile::IncrementLineNumber() {
    lineNumber = (lineNumber < 1 || lineNumber == INT_MAX) ? 1 : lineNumber + 1;
}

long VersitFile::GetVCardFileOffset() const { return file != nullptr ? ftell(file) : -1; }

void VersitFile::PositionVCardFile(long offset) {
    if (file == nullptr) return;
    fseek(file, offset, SEEK_SET);
    // Line numbers are only known when counting from the start; elsewhere
    // they go on from the last count.
    if (offset == 0) lineNumber = -1;
}

VCard* VersitFile::GetVCardFromFile() {
    if (file == nullptr) return nullptr;
    std::unique_ptr<VCard> card(new VCard);
    // Entries are linked in through this tail so that a card of many lines
    // reads in linear time.
    VCardEntry** tail = &card->entries;
    bool begun = false;
    try {
        for (;;) {
            String line;
            if (line.GetField(file) != ZaTrue) return nullptr;  // end of file, inside a card or before one
            if (StringIsEmpty(line.text) == ZaTrue) continue;
            IncrementLineNumber();

            char* namePart = nullptr;
            char* valuePart = nullptr;
            BreakLine(line.text, &namePart, &valuePart);  // allocates nothing when it throws
            MallocText name(namePart);
            MallocText firstPiece(valuePart);
            std::unique_ptr<VCardEntry> entry(VCardEntry::ParsePropertyName(name.get()));
            if (firstPiece) entry->SetPropValue(UnfoldValue(*this, firstPiece.get()).c_str());

            if (entry->propId == VCardPropIgnored) continue;
            if (keepAsRead != ZaTrue && (entry->propId == VCardPropAdr || entry->propId == VCardPropOrg)) {
                MallocText readable(entry->propId == VCardPropAdr ? entry->FormatAdr() : entry->FormatOrg());
                entry->SetPropValue(readable.get());
            }
            if (entry->propId == VCardPropBegin) {
                if (begun) ThrowUserError(1582, "BEGIN within a BEGIN not allowed in a versit card");
                begun = true;
            } else if (entry->propId == VCardPropEnd) {
                if (!begun) ThrowUserError(1589, "BEGIN not found in versit card");
                return card.release();
            } else {
                *tail = entry.release();
                tail = &(*tail)->next;
            }
        }
    } catch (ZaError* e) {
        if (e->level == 4) {
            e->AddLine(1609, kSource,
                       ("Error reading versit card at line number " + std::to_string(lineNumber)).c_str(), ZaTrue);
        } else {
            e->AddLine(1612, kSource, "Error rethrown in GetVCardFromFile", ZaFalse);
        }
        throw;
    }
}

void VersitFile::ReadInAllCards() {
    if (cards != nullptr || file == nullptr) return;
    PositionVCardFile(0);
    CardChain chain;
    try {
        while (VCard* card = GetVCardFromFile()) chain.Append(card);
    } catch (ZaError* e) {
        Rethrow(e, __LINE__, "Error in VersitFile::ReadInAllCards");
    }
    cards = chain.Release();
}

VCard* VersitFile::FindCardFromList(const char* value, int propId) const {
    if (value == nullptr) return nullptr;
    for (VCard* card = cards; card != nullptr; card = card->next) {
        const VCardEntry* e = card->GetEntry(propId);
        if (e != nullptr && e->value != nullptr && strcasecmp(e->value, value) == 0) return card;
    }
    return nullptr;
}

// Cards without a UID value, or with one that an index line cannot hold,
// are counted but not indexed: a search could not name them in its cursor.
void VersitFile::IndexFile(const char* indexPath, ZaProgressCallback callback, void* data) {
    try {
        ValNameList index;
        ForEachCard(*this, callback, data, [&](const VCard& card, long offset, int) {
            const VCardEntry* uid = card.GetEntry(VCardPropUid);
            if (uid != nullptr && IsIndexableUid(uid->value)) index.Append(uid->value, std::to_string(offset).c_str());
        });
        index.Write(indexPath);
    } catch (ZaError* e) {
        Rethrow(e, __LINE__, "Error in VersitFile::IndexFile");
    }
}

// Items go in ascending order of their key, equal keys newest first: the
// order of inserting each before the first item whose key is not smaller,
// reached here by one sort instead of a walk per card. A card without the key
// property sorts as an empty key; a UID that an index line cannot hold is
// left out.
void VersitFile::IndexFileOn(const char* indexPath, int propId, ZaProgressCallback callback, void* data) {
    struct Item {
        std::string key;
        std::string uid;
        long offset;
        int order;
    };
    try {
        std::vector<Item> items;
        ForEachCard(*this, callback, data, [&](const VCard& card, long offset, int order) {
            const VCardEntry* uid = card.GetEntry(VCardPropUid);
            if (uid == nullptr) ThrowUserError(1682, "UID field not found in versit file");
            if (uid->value == nullptr) ThrowUserError(1685, "UID field is empty in versit file");
            const VCardEntry* key = card.GetEntry(propId);
            if (IsIndexableUid(uid->value))
                items.push_back({key != nullptr && key->value != nullptr ? key->value : "", uid->value, offset, order});
        });
        std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
            const int c = strcasecmp(a.key.c_str(), b.key.c_str());
            return c < 0 || (c == 0 && a.order > b.order);
        });
        // Built from the back so that each row is freed as soon as it is listed.
        ValNameList index;
        for (; !items.empty(); items.pop_back())
            index.Prepend(items.back().uid.c_str(), std::to_string(items.back().offset).c_str());
        index.Write(indexPath);
    } catch (ZaError* e) {
        Rethrow(e, __LINE__, "Error in VersitFile::IndexFileOn");
    }
}

// ---------------------------------------------------------------- indexed files

VersitFileWithIndex::VersitFileWithIndex() : index(nullptr) {}

VersitFileWithIndex::~VersitFileWithIndex() { delete index; }

ZaBoolean VersitFileWithIndex::OpenWithIndex(const char* path, const char* indexPath, ZaBoolean keep) {
    if (Open(path, keep) != ZaTrue) return ZaFalse;
    index = new ValNameList;
    try {
        if (indexPath != nullptr) index->Read(indexPath, ZaTrue);
    } catch (ZaError* e) {
        Rethrow(e, __LINE__, "Error in VersitFileWithIndex::OpenWithIndex");
    }
    return ZaTrue;
}

ZaBoolean VersitFileWithIndex::Close() {
    cardOfItem.clear();
    resumeItem = nullptr;
    delete index;
    index = nullptr;
    return VersitFile::Close();
}

VCard* VersitFileWithIndex::ReadCardAt(const ValNameListItem* item) {
    const long offset = ParseOffset(item->value);
    if (offset < 0) return nullptr;
    PositionVCardFile(offset);
    return GetVCardFromFile();
}

void VersitFileWithIndex::ReadInAllCards() {
    if (cards != nullptr || index == nullptr) return;
    CardChain chain;
    std::unordered_map<const ValNameListItem*, VCard*> found;
    try {
        for (const ValNameListItem* item = index->head; item != nullptr; item = item->next) {
            if (VCard* card = ReadCardAt(item)) {
                chain.Append(card);
                found[item] = card;
            }
        }
    } catch (ZaError* e) {
        Rethrow(e, __LINE__, "Error in VersitFileWithIndex::ReadInAllCards");
    }
    cards = chain.Release();
    cardOfItem.swap(found);
}

long VersitFileWithIndex::GetVCardOffset(const char* uid) const {
    const ValNameListItem* item = index != nullptr ? index->Lookup(uid) : nullptr;
    return item != nullptr ? ParseOffset(item->value) : -1;
}

VCard* VersitFileWithIndex::GetVCard(const char* uid) {
    const ValNameListItem* item = index != nullptr ? index->Lookup(uid) : nullptr;
    if (item == nullptr) return nullptr;
    const auto inMemory = cardOfItem.find(item);
    if (inMemory != cardOfItem.end()) return inMemory->second->Copy();
    try {
        return ReadCardAt(item);
    } catch (ZaError* e) {
        Rethrow(e, __LINE__, "Error in VersitFileWithIndex::GetVCard");
    }
}

VCard* VersitFileWithIndex::Search(const ValList* words, int* count, int maxCount, char** cursor,
                                   const VCardEntry* field, const VCard* fields) {
    int ownCount = 0;
    if (count == nullptr) count = &ownCount;
    const char* from = cursor != nullptr ? *cursor : nullptr;
    const ValNameListItem* item = nullptr;
    if (index != nullptr && from == nullptr) {
        item = index->head;
    } else if (index != nullptr) {
        const bool resumes = resumeItem != nullptr && resumeItem->name != nullptr && strcasecmp(resumeItem->name, from) == 0;
        item = resumes ? resumeItem : index->Lookup(from);
    }

    CardChain found;
    try {
        while (item != nullptr) {
            const auto inMemory = cardOfItem.find(item);
            const bool borrowed = inMemory != cardOfItem.end();
            std::unique_ptr<VCard> read(borrowed ? nullptr : ReadCardAt(item));
            const VCard* card = borrowed ? inMemory->second : read.get();
            item = item->next;
            if (card == nullptr) continue;
            const VCardEntry* match =
                field != nullptr ? card->SearchVCardAND(words, field) : card->SearchVCardAND(words, fields);
            if (match == nullptr || match->value == nullptr) continue;
            found.Append(borrowed ? card->Copy() : read.release());
            if (++*count == maxCount) break;
        }
    } catch (ZaError* e) {
        Rethrow(e, __LINE__, "Error in VersitFileWithIndex::Search");
    }
    resumeItem = item;
    if (cursor != nullptr) *cursor = (item != nullptr && item->name != nullptr) ? strdup(item->name) : nullptr;
    return found.Release();
}
