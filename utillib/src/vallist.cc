#include "vallist.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "linked_items.h"
#include "stringutil.h"

namespace {

const char kSource[] = "utillib/src/vallist";

char* DupOrNull(const char* s) { return s ? strdup(s) : nullptr; }

// Replaces an owned text with a copy of s, unless s is that very text.
void ReplaceText(char*& field, const char* s) {
    if (field == s) return;
    free(field);
    field = DupOrNull(s);
}

bool Matches(const char* stored, const char* wanted) {
    return stored && wanted && strcasecmp(stored, wanted) == 0;
}

bool StartsWith(const char* line, const char* marker) {
    return strncmp(line, marker, strlen(marker)) == 0;
}

[[noreturn]] void Raise(int line, const String& message) {
    ZaError* e = new ZaError;
    e->AddLine(line, kSource, message, ZaFalse);
    throw e;
}

// Closes a FILE* on every way out unless Close() was called to learn the result.
class FileGuard {
public:
    explicit FileGuard(FILE* f) : f_(f) {}
    FileGuard(const FileGuard&) = delete;
    FileGuard& operator=(const FileGuard&) = delete;
    ~FileGuard() {
        if (f_) fclose(f_);
    }
    FILE* get() const { return f_; }
    int Close() {
        FILE* f = f_;
        f_ = nullptr;
        return fclose(f);
    }

private:
    FILE* f_;
};

// Reads a list file through read(FILE*), for both kinds of list. A path that
// cannot be opened leaves the list as it is; the two line numbers are the ones
// the calling list's messages carry.
template <class ReadFrom>
void ReadListFile(const char* path, ReadFrom read, int readLine, int closeLine) {
    if (!path) return;
    FileGuard file(fopen(path, "r"));
    if (!file.get()) return;
    try {
        read(file.get());
    } catch (ZaError* e) {
        e->AddLine(readLine, kSource, String("Unable to read the list from file ") + path, ZaFalse);
        throw;
    }
    if (file.Close() != 0) Raise(closeLine, String("Unable to close file ") + path + " after reading");
}

// Key order used by every sort: an absent key sorts before any text, so lists
// holding such items still come out in one consistent order.
int CompareKeys(const char* a, const char* b, ValListCompare cmp) {
    if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
    return cmp(a, b);
}

// Orders the items the way inserting them one by one would: each item goes
// before the first one it does not sort after, so equal keys end up in the
// reverse of their source order. Reversing first and then sorting stably gives
// exactly that in O(n log n).
template <class Item, class KeyOf>
std::vector<const Item*> SortedItems(const Item* head, KeyOf keyOf, ValListCompare cmp, bool descending) {
    if (!cmp) cmp = strcasecmp;
    std::vector<const Item*> items;
    for (const Item* item = head; item; item = item->next) items.push_back(item);
    std::reverse(items.begin(), items.end());
    std::stable_sort(items.begin(), items.end(), [&](const Item* x, const Item* y) {
        int c = CompareKeys(keyOf(x), keyOf(y), cmp);
        return descending ? c > 0 : c < 0;
    });
    return items;
}

}  // namespace

// ---------------------------------------------------------------- ValList

ValListItem::ValListItem(const char* v) : value(DupOrNull(v)), next(nullptr) {}

ValListItem::~ValListItem() { free(value); }

ValList::ValList() : head(nullptr), tail(nullptr), count(0) {}

ValList::~ValList() { RemoveAll(); }

ValList* ValList::Append(const char* s) {
    LinkAtEnd(this, new ValListItem(s));
    return this;
}

ValList* ValList::Prepend(const char* s) {
    LinkAtFront(this, new ValListItem(s));
    return this;
}

ValList* ValList::AppendWithDupCheck(const char* s) {
    if (!Lookup(s)) Append(s);
    return this;
}

ValList* ValList::PrependWithDupCheck(const char* s) {
    if (!Lookup(s)) Prepend(s);
    return this;
}

void ValList::AddAfter(ValListItem* item, const char* s) {
    if (!item) return;
    LinkAfter(this, item, new ValListItem(s));
}

void ValList::AddFIFO(const char* s) {
    // Copy first: s may be the very text that RemoveLast frees.
    std::string keep = s ? s : "";
    RemoveLast();
    Prepend(s ? keep.c_str() : nullptr);
}

void ValList::AddFIFOWithDupCheck(const char* s) {
    if (!Lookup(s)) AddFIFO(s);
}

void ValList::Add(const ValList* other) {
    if (!other) return;
    VisitCounted(other, [this](const ValListItem* item) { Append(item->value); });
}

void ValList::AddWithDupCheck(const ValList* other) {
    if (!other) return;
    VisitCounted(other, [this](const ValListItem* item) { AppendWithDupCheck(item->value); });
}

ValList* ValList::Copy() const {
    ValList* copy = new ValList;
    copy->Add(this);
    return copy;
}

ValListItem* ValList::Lookup(const char* s) const {
    if (!s) return nullptr;
    return FirstWhere(head, [s](const ValListItem* item) { return Matches(item->value, s); });
}

int ValList::GetIndexOf(const char* s) const {
    if (!s) return -1;
    return IndexWhere(head, [s](const ValListItem* item) { return Matches(item->value, s); });
}

ValListItem* ValList::GetNthItem(int n) const { return n < 0 ? nullptr : StepFrom(head, n); }

void ValList::Remove(const char* s) {
    if (!s) return;
    UnlinkWhere(this, [s](const ValListItem* item) { return Matches(item->value, s); }, true);
}

void ValList::Remove(const ValList* other) {
    if (!other) return;
    // Snapshot the texts: other may be this list, whose items go away as we remove.
    std::vector<std::string> texts;
    for (const ValListItem* item = other->head; item; item = item->next)
        if (item->value) texts.push_back(item->value);
    for (const std::string& text : texts) Remove(text.c_str());
}

void ValList::RemoveAll() { UnlinkAll(this); }

void ValList::RemoveLast() {
    UnlinkWhere(this, [this](const ValListItem* item) { return item == tail; }, true);
}

void ValList::SwapItems(ValListItem* a, ValListItem* b) {
    if (!a || !b) return;
    std::swap(a->value, b->value);
}

ValList* ValList::SortList(ValListCompare cmp) const {
    ValList* sorted = new ValList;
    auto keyOf = [](const ValListItem* item) { return item->value; };
    for (const ValListItem* item : SortedItems(head, keyOf, cmp, false)) sorted->Append(item->value);
    return sorted;
}

void ValList::Read(FILE* f, ZaBoolean withHeader) {
    char line[1024];
    if (withHeader == ZaTrue) {
        if (!fgets(line, sizeof line, f)) Raise(420, "Unable to read list header");
        if (!StartsWith(line, "BEGIN:vList")) Raise(425, "Malformed list header");
    }
    for (;;) {
        if (!fgets(line, sizeof line, f)) Raise(443, "Premature end of list");
        if (StartsWith(line, "END:vList")) return;
        if (StringIsEmpty(line) == ZaTrue) {
            Append(nullptr);
            continue;
        }
        line[strcspn(line, "\r\n")] = '\0';
        Append(line);
    }
}

void ValList::Read(const char* path, ZaBoolean withHeader) {
    ReadListFile(path, [&](FILE* f) { Read(f, withHeader); }, 465, 472);
}

void ValList::Write(FILE* f) const {
    fputs("BEGIN:vList\n", f);
    // An item without text has no form of its own in the file: it is an empty line.
    for (const ValListItem* item = head; item; item = item->next) {
        if (item->value) fputs(item->value, f);
        fputc('\n', f);
    }
    fputs("END:vList\n", f);
}

void ValList::Write(const char* path) const {
    FileGuard file(path ? fopen(path, "w") : nullptr);
    if (!file.get()) Raise(504, String("Unable to open file ") + path + " for writing");
    Write(file.get());
    if (file.Close() != 0) Raise(511, String("Unable to close file ") + path + " after writing");
}

// ------------------------------------------------------------ ValNameList

ValNameListItem::ValNameListItem(const char* n, const char* v, const char* e1, const char* e2, const char* e3)
    : name(DupOrNull(n)),
      value(DupOrNull(v)),
      extra1(DupOrNull(e1)),
      extra2(DupOrNull(e2)),
      extra3(DupOrNull(e3)),
      next(nullptr) {}

ValNameListItem::~ValNameListItem() {
    free(name);
    free(value);
    free(extra1);
    free(extra2);
    free(extra3);
}

ValNameList::ValNameList() : head(nullptr), tail(nullptr), count(0) {}

ValNameList::~ValNameList() { RemoveAll(); }

ValNameList* ValNameList::Append(const char* name, const char* value, const char* e1, const char* e2,
                                 const char* e3) {
    LinkAtEnd(this, new ValNameListItem(name, value, e1, e2, e3));
    return this;
}

ValNameList* ValNameList::Prepend(const char* name, const char* value, const char* e1, const char* e2,
                                  const char* e3) {
    LinkAtFront(this, new ValNameListItem(name, value, e1, e2, e3));
    return this;
}

ValNameList* ValNameList::AppendWithDupCheck(const char* name, const char* value, const char* e1,
                                             const char* e2, const char* e3) {
    if (!Lookup(name)) Append(name, value, e1, e2, e3);
    return this;
}

ValNameList* ValNameList::PrependWithDupCheck(const char* name, const char* value, const char* e1,
                                              const char* e2, const char* e3) {
    if (!Lookup(name)) Prepend(name, value, e1, e2, e3);
    return this;
}

void ValNameList::AddAfter(ValNameListItem* item, const char* name, const char* value, const char* e1,
                           const char* e2, const char* e3) {
    if (!item) return;
    LinkAfter(this, item, new ValNameListItem(name, value, e1, e2, e3));
}

void ValNameList::Replace(const char* name, const char* value, const char* e1, const char* e2,
                          const char* e3) {
    if (!name) return;
    ValNameListItem* item = Lookup(name);
    if (!item) {
        Append(name, value, e1, e2, e3);
        return;
    }
    ReplaceText(item->value, value);
    ReplaceText(item->extra1, e1);
    ReplaceText(item->extra2, e2);
    ReplaceText(item->extra3, e3);
}

void ValNameList::Replace(const char* name, int value) {
    String text(value);
    Replace(name, text.text, nullptr, nullptr, nullptr);
}

void ValNameList::Add(const ValNameList* other) {
    if (!other) return;
    VisitCounted(other, [this](const ValNameListItem* item) {
        Append(item->name, item->value, item->extra1, item->extra2, item->extra3);
    });
}

void ValNameList::AddWithDupCheck(const ValNameList* other) {
    if (!other) return;
    VisitCounted(other, [this](const ValNameListItem* item) {
        AppendWithDupCheck(item->name, item->value, item->extra1, item->extra2, item->extra3);
    });
}

ValNameList* ValNameList::Copy() const {
    ValNameList* copy = new ValNameList;
    copy->Add(this);
    return copy;
}

ValNameListItem* ValNameList::Lookup(const char* name) const {
    if (!name) return nullptr;
    return FirstWhere(head, [name](const ValNameListItem* item) { return Matches(item->name, name); });
}

ValNameListItem* ValNameList::LookupByVal(const char* value) const {
    if (!value) return nullptr;
    return FirstWhere(head, [value](const ValNameListItem* item) { return Matches(item->value, value); });
}

ValNameListItem* ValNameList::LookupByNameVal(const char* name, const char* value) const {
    if (!name || !value) return nullptr;
    return FirstWhere(head, [name, value](const ValNameListItem* item) {
        return Matches(item->name, name) && Matches(item->value, value);
    });
}

int ValNameList::GetIndexOf(const char* name) const {
    if (!name) return -1;
    return IndexWhere(head, [name](const ValNameListItem* item) { return Matches(item->name, name); });
}

ValNameListItem* ValNameList::GetNthItem(int n) const { return n < 0 ? nullptr : StepFrom(head, n); }

ValList* ValNameList::GetKeyList() const {
    ValList* keys = new ValList;
    for (const ValNameListItem* item = head; item; item = item->next) keys->Append(item->name);
    return keys;
}

ValList* ValNameList::GetKeyListMatchingVal(const char* value) const {
    ValList* keys = new ValList;
    if (!value) return keys;
    for (const ValNameListItem* item = head; item; item = item->next)
        if (Matches(item->value, value)) keys->Append(item->name);
    return keys;
}

void ValNameList::Remove(const char* name) {
    if (!name) return;
    UnlinkWhere(this, [&](const ValNameListItem* item) { return Matches(item->name, name); }, true);
}

void ValNameList::RemoveEvery(const char* name) {
    if (!name) return;
    UnlinkWhere(this, [&](const ValNameListItem* item) { return Matches(item->name, name); }, false);
}

void ValNameList::RemoveEveryVal(const char* value) {
    if (!value) return;
    UnlinkWhere(this, [&](const ValNameListItem* item) { return Matches(item->value, value); }, false);
}

void ValNameList::RemoveEveryNameVal(const char* name, const char* value) {
    if (!name || !value) return;
    UnlinkWhere(
        this,
        [&](const ValNameListItem* item) { return Matches(item->name, name) && Matches(item->value, value); },
        false);
}

void ValNameList::RemoveAll() { UnlinkAll(this); }

void ValNameList::SwapItems(ValNameListItem* a, ValNameListItem* b) {
    if (!a || !b) return;
    std::swap(a->name, b->name);
    std::swap(a->value, b->value);
    std::swap(a->extra1, b->extra1);
    std::swap(a->extra2, b->extra2);
    std::swap(a->extra3, b->extra3);
}

namespace {

template <class KeyOf>
ValNameList* SortedCopy(const ValNameListItem* head, KeyOf keyOf, ValListCompare cmp, bool descending) {
    ValNameList* sorted = new ValNameList;
    for (const ValNameListItem* item : SortedItems(head, keyOf, cmp, descending))
        sorted->Append(item->name, item->value, item->extra1, item->extra2, item->extra3);
    return sorted;
}

}  // namespace

ValNameList* ValNameList::SortListByName() const {
    return SortedCopy(head, [](const ValNameListItem* item) { return item->name; }, strcasecmp, false);
}

ValNameList* ValNameList::SortListByAscendingValue() const {
    return SortedCopy(head, [](const ValNameListItem* item) { return item->value; }, strcasecmp, false);
}

ValNameList* ValNameList::SortListByDescendingValue(ValListCompare cmp) const {
    return SortedCopy(head, [](const ValNameListItem* item) { return item->value; }, cmp, true);
}

ValNameList* ValNameList::SortListByDescendingValue2(ValListCompare cmp) const {
    return SortedCopy(head, [](const ValNameListItem* item) { return item->extra1; }, cmp, true);
}

void ValNameList::Read(FILE* f, ZaBoolean withHeader) {
    if (withHeader == ZaTrue) {
        char line[1024];
        if (!fgets(line, sizeof line, f))
            fputs("Unable to read list header", stdout);
        else if (!StartsWith(line, "BEGIN:vNameList"))
            fputs("Malformed list header", stdout);
    }
    // line keeps the last entry read, for the message on a premature end.
    String line, name, value;
    for (;;) {
        // Look ahead one byte: an entry read at the very end of the file cannot
        // be told apart from a line holding only ":".
        int c = getc(f);
        if (c == EOF) break;
        ungetc(c, f);
        if (line.GetNameValPair(f, name, value) != ZaTrue) break;
        if (StartsWith(line.text, "END:vNameList")) return;
        Append(name.text, value.text);
    }
    printf("Premature end of list. Last string read was <%s>\n", line.text ? line.text : "");
}

void ValNameList::Read(const char* path, ZaBoolean withHeader) {
    ReadListFile(path, [&](FILE* f) { Read(f, withHeader); }, 1232, 1239);
}

void ValNameList::Write(FILE* f) const {
    fputs("BEGIN:vNameList\n", f);
    // An item without a name is written with an empty name.
    for (const ValNameListItem* item = head; item; item = item->next) {
        if (item->name) fputs(item->name, f);
        fputc(':', f);
        if (item->value) {
            String folded(item->value);
            folded.PrepareForWriting();
            fputs(folded.text, f);
        }
        fputc('\n', f);
    }
    fputs("END:vNameList\n", f);
}

void ValNameList::Write(const char* path) const {
    FileGuard file(path ? fopen(path, "w") : nullptr);
    if (!file.get()) Raise(1284, String("Unable to open file ") + path + " for writing");
    Write(file.get());
    // Unlike the plain list, a name list ignores a failure to close after writing.
    file.Close();
}
