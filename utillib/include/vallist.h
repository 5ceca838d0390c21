// ValList: a singly linked list of owned strings. ValNameList: a list of owned
// name/value items with three side strings each. Both copy what they are given,
// free what they drop, compare without regard to case (absent texts never
// match) and read and write their own line-oriented text files.
#include "zaerror.h"  // before the guard: see zaerror.h

#ifndef VALLIST_H
#define VALLIST_H

#include <cstdio>

class ValListItem {
public:
    char* value;  // owned copy, may be null
    ValListItem* next;

    explicit ValListItem(const char* v);
    ValListItem(const ValListItem&) = delete;
    ValListItem& operator=(const ValListItem&) = delete;
    ~ValListItem();
};

// Comparison of two texts for sorting; strcasecmp fits.
typedef int (*ValListCompare)(const char*, const char*);

class ValList {
public:
    ValListItem* head;
    ValListItem* tail;
    int count;

    ValList();
    ValList(const ValList&) = delete;
    ValList& operator=(const ValList&) = delete;
    ~ValList();

    ValList* Append(const char* s);
    ValList* Prepend(const char* s);
    ValList* AppendWithDupCheck(const char* s);
    ValList* PrependWithDupCheck(const char* s);
    void AddAfter(ValListItem* item, const char* s);
    // Drops the last item, then prepends: a full list keeps its length, newest first.
    void AddFIFO(const char* s);
    void AddFIFOWithDupCheck(const char* s);
    void Add(const ValList* other);
    void AddWithDupCheck(const ValList* other);
    ValList* Copy() const;  // new list owned by the caller

    ValListItem* Lookup(const char* s) const;  // borrowed; null when absent
    int GetIndexOf(const char* s) const;       // -1 when absent
    ValListItem* GetNthItem(int n) const;      // null when n is out of range

    void Remove(const char* s);         // first matching item only
    void Remove(const ValList* other);  // one Remove per string of other
    void RemoveAll();
    void RemoveLast();
    void SwapItems(ValListItem* a, ValListItem* b);

    // New ascending list owned by the caller; equal keys come out in the
    // reverse of their order here. A null cmp means strcasecmp.
    ValList* SortList(ValListCompare cmp = nullptr) const;

    // Appends the items of a "BEGIN:vList" file; withHeader says whether the
    // header line is expected. Throws ZaError* on a bad or short file. A path
    // that cannot be opened leaves the list unchanged and is no error.
    void Read(FILE* f, ZaBoolean withHeader = ZaTrue);
    void Read(const char* path, ZaBoolean withHeader = ZaTrue);
    void Write(FILE* f) const;
    void Write(const char* path) const;  // throws ZaError* when the file cannot be written
};

class ValNameListItem {
public:
    char* name;  // each of the five is an owned copy and may be null
    char* value;
    char* extra1;
    char* extra2;
    char* extra3;
    ValNameListItem* next;

    ValNameListItem(const char* n, const char* v, const char* e1, const char* e2, const char* e3);
    ValNameListItem(const ValNameListItem&) = delete;
    ValNameListItem& operator=(const ValNameListItem&) = delete;
    ~ValNameListItem();
};

class ValNameList {
public:
    ValNameListItem* head;
    ValNameListItem* tail;
    int count;

    ValNameList();
    ValNameList(const ValNameList&) = delete;
    ValNameList& operator=(const ValNameList&) = delete;
    ~ValNameList();

    ValNameList* Append(const char* name, const char* value, const char* e1 = nullptr,
                        const char* e2 = nullptr, const char* e3 = nullptr);
    ValNameList* Prepend(const char* name, const char* value, const char* e1 = nullptr,
                         const char* e2 = nullptr, const char* e3 = nullptr);
    ValNameList* AppendWithDupCheck(const char* name, const char* value, const char* e1 = nullptr,
                                    const char* e2 = nullptr, const char* e3 = nullptr);
    ValNameList* PrependWithDupCheck(const char* name, const char* value, const char* e1 = nullptr,
                                     const char* e2 = nullptr, const char* e3 = nullptr);
    void AddAfter(ValNameListItem* item, const char* name, const char* value, const char* e1 = nullptr,
                  const char* e2 = nullptr, const char* e3 = nullptr);
    // Changes value and extras of the first item named so (the stored name
    // stays); appends a new item when there is none.
    void Replace(const char* name, const char* value, const char* e1 = nullptr,
                 const char* e2 = nullptr, const char* e3 = nullptr);
    void Replace(const char* name, int value);
    void Add(const ValNameList* other);
    void AddWithDupCheck(const ValNameList* other);
    ValNameList* Copy() const;  // new list owned by the caller

    // Lookups return borrowed items, null when nothing matches.
    ValNameListItem* Lookup(const char* name) const;
    ValNameListItem* LookupByVal(const char* value) const;
    ValNameListItem* LookupByNameVal(const char* name, const char* value) const;
    int GetIndexOf(const char* name) const;
    ValNameListItem* GetNthItem(int n) const;
    ValList* GetKeyList() const;                              // owned by the caller
    ValList* GetKeyListMatchingVal(const char* value) const;  // owned by the caller

    void Remove(const char* name);  // first matching item only
    void RemoveEvery(const char* name);
    void RemoveEveryVal(const char* value);
    void RemoveEveryNameVal(const char* name, const char* value);
    void RemoveAll();
    void SwapItems(ValNameListItem* a, ValNameListItem* b);

    // New sorted lists owned by the caller; equal keys come out in the reverse
    // of their order here. A null cmp means strcasecmp.
    ValNameList* SortListByName() const;
    ValNameList* SortListByAscendingValue() const;
    ValNameList* SortListByDescendingValue(ValListCompare cmp = nullptr) const;
    ValNameList* SortListByDescendingValue2(ValListCompare cmp = nullptr) const;  // by extra1

    // "BEGIN:vNameList" files of name ":" folded value lines. Bad content never
    // throws: the reader prints its complaint to standard output and goes on.
    void Read(FILE* f, ZaBoolean withHeader = ZaTrue);
    void Read(const char* path, ZaBoolean withHeader = ZaTrue);  // throws ZaError*
    void Write(FILE* f) const;
    void Write(const char* path) const;  // throws ZaError* when the file cannot be opened
};

#endif
