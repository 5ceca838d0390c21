// The in-memory vCard: a card is a chain of entries (properties), each with an
// optional value and a chain of parameters. Cards own their entries, entries
// own their value and parameters; the `next` links between cards and between
// entries of different owners are not owned. Lookups return borrowed pointers;
// Copy, GetValue, Print(ZaBoolean), GetNameAndSubTypes, GetDisplayRep and the
// Format operations return new objects or malloc texts owned by the caller.
#ifndef VCARD_H
#define VCARD_H

#include <cstdio>

#include "vallist.h"
#include "zaerror.h"

// One row of a vocabulary table; every table ends with a row {nullptr, 0}.
struct PropNameAndSize {
    const char* name;
    int size;
};

// Property ids are indexes into propArray; ids from VCardPropCustomBase on
// stand for ZarvoLabelPrefix followed by (id - VCardPropCustomBase).
enum VCardPropId {
    VCardPropIgnored = -2,  // an "X-" line that readers drop
    VCardPropBegin = 0,
    VCardPropEnd = 1,
    VCardPropAdr = 2,
    VCardPropOrg = 3,
    VCardPropN = 4,
    VCardPropAgent = 5,
    VCardPropLogo = 6,
    VCardPropPhoto = 7,
    VCardPropLabel = 8,
    VCardPropFn = 9,
    VCardPropTitle = 10,
    VCardPropSound = 11,
    VCardPropVersion = 12,
    VCardPropTel = 13,
    VCardPropEmail = 14,
    VCardPropTz = 15,
    VCardPropGeo = 16,
    VCardPropNote = 17,
    VCardPropUrl = 18,
    VCardPropBday = 19,
    VCardPropRole = 20,
    VCardPropRev = 21,
    VCardPropUid = 22,
    VCardPropKey = 23,
    VCardPropMailer = 24,
    VCardPropMgrUid = 25,
    VCardPropDirectReportUid = 26,
    VCardPropZarvoUid = 27,
    VCardPropCustomBase = 28
};

// Parameter kinds (indexes into subPropArray); only the first three are stored.
enum VCardSubKind {
    VCardKindSkipped = -2,  // an "X-" TYPE value that parsers drop
    VCardKindType = 0,
    VCardKindValue = 1,
    VCardKindEncoding = 2,
    VCardKindCharset = 3,
    VCardKindLanguage = 4
};

// TYPE values (indexes into typevalPropArray) that code refers to by name;
// values from VCardTypeCustomBase on stand for ZarvoTypePrefix followed by
// (value - VCardTypeCustomBase).
enum VCardTypeId {
    VCardTypeHome = 4,
    VCardTypeWork = 5,
    VCardTypePref = 6,
    VCardTypeFax = 8,
    VCardTypeCell = 10,
    VCardTypeIndirectMgr = 50,     // qualifies a UID entry: an indirect manager
    VCardTypeIndirectReport = 51,  // an indirect report
    VCardTypeSecretary = 52,       // a secretary
    VCardTypeCustomBase = 53
};

inline constexpr char ZarvoLabelPrefix[] = "X-ZARVO-LABEL-";  // 14 characters
inline constexpr char ZarvoTypePrefix[] = "X-ZARVO-TYPE-";    // 13 characters

extern const PropNameAndSize propArray[];             // 28 property names
extern const PropNameAndSize subPropArray[];          // 5 parameter kinds
extern const PropNameAndSize typevalPropArray[];      // 53 TYPE values
extern const PropNameAndSize valuevalPropArray[];     // 4 VALUE values
extern const PropNameAndSize encodingvalPropArray[];  // 4 ENCODING values

// One parameter of an entry: a kind and an index into that kind's table.
class VCardSubType {
public:
    int kind;
    int valueIndex;
    VCardSubType* next;  // following parameter of the same entry

    VCardSubType();  // kind and value are left for the caller to set
    VCardSubType(int kind, int valueIndex);
    VCardSubType(const VCardSubType&) = delete;
    VCardSubType& operator=(const VCardSubType&) = delete;

    VCardSubType* Copy() const;  // new parameter without next, owned by the caller
};

// One property of a card. Two entries are alike when they have the same id and
// parameter chains of equal length with equal value indexes position by position.
class VCardEntry {
public:
    int propId;
    char* value;              // owned malloc text, may be null
    VCardSubType* subTypes;   // owned chain, in the order added
    VCardEntry* next;         // following entry of the card; not owned

    VCardEntry();  // propId is left for the caller to set
    VCardEntry(int propId, const char* value);  // copies value; null gives none
    VCardEntry(const VCardEntry&) = delete;
    VCardEntry& operator=(const VCardEntry&) = delete;
    ~VCardEntry();  // frees value and parameters, not the following entry

    VCardEntry* AddSubType(VCardSubType* sub);  // appends and takes it over
    VCardEntry* AddSubType(int kind, int valueIndex);
    VCardEntry* Copy() const;  // deep copy without next, owned by the caller
    char* GetValue() const;    // malloc copy of the value, or null
    void SetPropValue(const char* v);  // copies v; null clears the value
    ZaBoolean IsPrintable() const;    // not N, PHOTO, UID, manager or direct-report ids
    ZaBoolean IsDisplayable() const;  // printable, or a UID with a relationship type
    ZaBoolean IsAlike(const VCardEntry* other) const;

    // Parses a name part such as "TEL;WORK;FAX" into a new entry; an unknown
    // "X-" name gives an entry with id VCardPropIgnored. Throws a user ZaError*
    // (level 4) for a name part it refuses.
    static VCardEntry* ParsePropertyName(const char* namePart);
    // Reads one parameter at *cursor into a new VCardSubType and moves the
    // cursor past it; an "X-" TYPE gives kind and value VCardKindSkipped.
    // Throws a user ZaError* for an unknown or unsupported parameter.
    static VCardSubType* ParseSubProperty(const char** cursor);
    static VCardSubType* ParseSubProperty(char** cursor);

    // Writes the entry as one vCard line; line ends in the value are folded
    // ("=0A=", line feed, blank) so that the line reads back as one entry.
    void Print(FILE* f) const;
    char* GetNameAndSubTypes() const;  // malloc text of the name part, e.g. "TEL;WORK"
    char* GetDisplayRep() const;       // malloc text such as "TEL(WORK)(FAX)"

    // Readable forms of structured values; null when there is no value.
    char* FormatN() const;        // malloc text: prefix given additional family suffix
    char** FormatNArray() const;  // malloc array of 5 malloc texts (see GetArray)
    char* FormatAdr() const;      // malloc text: the seven address fields
    char* FormatOrg() const;      // malloc text: all organisation fields
};

// A person's card: an owned chain of entries in card order.
class VCard {
public:
    VCardEntry* entries;  // owned chain
    VCard* next;          // following card of a list read from one file; not owned

    VCard();
    VCard(const VCard&) = delete;
    VCard& operator=(const VCard&) = delete;
    ~VCard();  // deletes every entry, not the following card

    VCard* AddEntry(VCardEntry* entry);  // appends and takes it over
    VCard* AddEntry(int propId, const char* value);
    int GetNumEntries() const;

    // Lookups; each returns a borrowed entry or null.
    VCardEntry* GetEntry(int propId) const;
    VCardEntry* GetEntry(int propId, int valueIndex) const;  // with a parameter of that value
    VCardEntry* GetEntry(const VCardEntry* alike) const;
    VCardEntry* GetNthEntry(int n) const;  // 0-based
    int GetEntryOrder(const VCardEntry* alike) const;  // 0-based; -1 when none
    int GetEntryOrder(int propId) const;

    // The printable field labelled so (ignoring case); null for "All" or none.
    VCardEntry* FindSearchType(const char* label) const;
    // Exchanges the entries at the 1-based positions i and j; nothing when
    // either is out of range or both are equal.
    void SwapEntries(int i, int j);

    // Word searches (words occur in a value, ignoring case). `fields` is a card
    // whose printable entries with values name the fields to look in; `field`
    // names one. Each returns the borrowed matching entry of this card, or null.
    VCardEntry* SearchVCardOR(const ValList* words, const VCard* fields) const;
    VCardEntry* SearchVCardOR(const ValList* words, const VCardEntry* field) const;
    VCardEntry* SearchVCardAND(const ValList* words, const VCard* fields) const;
    VCardEntry* SearchVCardAND(const ValList* words, const VCardEntry* field) const;

    VCard* Copy() const;  // deep copy without next, owned by the caller

    // Writes "BEGIN:vCard", every entry and "END:vCard", each on its own line.
    void Print(FILE* f) const;
    // A malloc text: "begin:vCard", one "name:value" line per entry (only the
    // printable ones when printableOnly is ZaTrue) and "end:vCard".
    char* Print(ZaBoolean printableOnly) const;
};

// A malloc array of n pointers: malloc copies of the list's first n strings in
// order, null for the rest. The caller frees each string and the array.
char** GetArray(const ValList* list, int n);

#endif
