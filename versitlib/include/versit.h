// Versit files: plain vCard text files read card by card (VersitFile), and the
// same with a "BEGIN:vNameList" index of UID and byte offset per card
// (VersitFileWithIndex) for fetching single cards and paged word searches.
// Cards returned by GetVCardFromFile, GetVCard and Search belong to the caller;
// cards read in with ReadInAllCards belong to the file object.
#ifndef VERSIT_H
#define VERSIT_H

#include <cstdio>
#include <unordered_map>

#include "vallist.h"
#include "vcard.h"
#include "zacallback.h"
#include "zaerror.h"

// Splits a vCard line at its first colon: *name gets a malloc copy of the text
// before it, *value a malloc copy of the value (leading blanks and tabs
// skipped, up to the line end) or null when the value is blank. Returns *name.
// Throws a user ZaError* when no colon comes before the line end.
char* BreakLine(const char* line, char** name, char** value);

// The index of the first table row whose name starts the text at *cursor
// (ignoring case) and is followed by ';', '=', a blank, a tab or the end; the
// cursor then moves past the name. -1 and an unchanged cursor when none does.
int MatchWordFromArray(const char** cursor, const PropNameAndSize* table);
int MatchWordFromArray(char** cursor, const PropNameAndSize* table);

class VersitFile {
public:
    ZaBoolean keepAsRead;  // ZaFalse: ADR and ORG values are made readable on reading
    int lineNumber;        // last line counted; -1 before the first
    VCard* cards;          // owned chain of the cards read in, or null
    FILE* file;            // the open vCard file, or null

    VersitFile();
    VersitFile(const VersitFile&) = delete;
    VersitFile& operator=(const VersitFile&) = delete;

    virtual ZaBoolean Open(const char* path, ZaBoolean keepAsRead);  // for reading
    virtual ZaBoolean OpenForWriting(const char* path);  // created or truncated
    // Deletes the cards read in and closes the file; ZaFalse only when closing fails.
    virtual ZaBoolean Close();
    // Reads every card from the start of the file into `cards`, unless cards
    // are in memory already. Throws a ZaError* for a malformed card.
    virtual void ReadInAllCards();
    virtual ~VersitFile();  // closes as Close does

    void IncrementLineNumber();  // the first line is 1; wraps to 1 after INT_MAX
    long GetVCardFileOffset() const;
    // Moves to a byte offset from the start; back at the start, counting of
    // lines starts afresh.
    void PositionVCardFile(long offset);

    // The next card from the current position (caller owns it), or null at the
    // end of the file, also when the file ends inside a card. A malformed card
    // throws a user ZaError* that names the line number.
    VCard* GetVCardFromFile();

    // The first card in memory whose first entry with propId has that value
    // (ignoring case); borrowed, or null.
    VCard* FindCardFromList(const char* value, int propId) const;

    // Writes an index of the cards from the current position to the end:
    // UID and byte offset per card, in file order. Cards without a UID value,
    // or whose UID an index line cannot hold (a colon or line end in it), are
    // not indexed. The callback, when given, hears every 350 cards and once at
    // the end.
    void IndexFile(const char* indexPath, ZaProgressCallback callback, void* data);
    // The same in ascending order of each card's first propId value (ignoring
    // case; equal values newest first); every card needs a UID value.
    void IndexFileOn(const char* indexPath, int propId, ZaProgressCallback callback, void* data);

protected:
    void DeleteCards();
    ZaBoolean CloseFile();
};

class VersitFileWithIndex : public VersitFile {
public:
    // Owned: UID name, decimal byte offset value; null before OpenWithIndex.
    // Callers read it but do not change it (searches remember their place in it).
    ValNameList* index;

    VersitFileWithIndex();
    ~VersitFileWithIndex() override;

    // Opens the vCard file (ZaFalse when it cannot) and reads the index file;
    // a missing index file leaves the index empty.
    ZaBoolean OpenWithIndex(const char* path, const char* indexPath, ZaBoolean keepAsRead);
    ZaBoolean Close() override;  // drops index and cards, then closes the file
    // Reads the cards in index order; afterwards GetVCard and Search work from memory.
    void ReadInAllCards() override;

    long GetVCardOffset(const char* uid) const;  // -1 when the UID is not indexed
    VCard* GetVCard(const char* uid);            // new card (caller owns), or null

    // One page of a word search in index order. Starts at the item whose UID
    // is *cursor (the first item when *cursor is null; no cards when that UID
    // is not indexed). Tests each card with SearchVCardAND against `field`
    // when given, else against `fields`; appends matches to the returned chain
    // (caller owns each card) and counts them on in *count, stopping once
    // *count equals maxCount. *cursor is then set to a malloc copy of the next
    // item's UID, or null when the index is exhausted; the incoming text stays
    // the caller's.
    VCard* Search(const ValList* words, int* count, int maxCount, char** cursor,
                  const VCardEntry* field, const VCard* fields);

private:
    // Cards in memory by index item, filled by ReadInAllCards.
    std::unordered_map<const ValNameListItem*, VCard*> cardOfItem;

    // Where the last Search stopped, so that the next page starts there
    // without a walk through the index.
    const ValNameListItem* resumeItem = nullptr;

    VCard* ReadCardAt(const ValNameListItem* item);  // null for a bad offset or none there
};

#endif
