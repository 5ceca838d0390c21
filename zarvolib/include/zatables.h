// ZaTable: a grid that lays items out in a fixed number of columns, with
// optional blank spacer columns between them. ZaPersonGroupTable: a two-column
// table (heading, entries) that turns lists of user ids, group ids or document
// names into blocks of linked, checkable or selectable entries. Items handed
// to a table belong to it; lists and stores passed in stay the caller's.
#ifndef ZATABLES_H
#define ZATABLES_H

#include "Classes.h"

class GroupDB;
class UserDB;
class ValList;
class ValNameList;
class VCard;
class ZaConfigDB;

class ZaTable : public Table {
public:
    int wrap;              // 0: every new cell gets nowrap
    char* valign;          // owned; valign of new cells ("top" at first)
    char* align;           // owned; align of new cells ("left" at first)
    int columns;           // items per row, at least 1
    int spacerWidth;       // 0: no spacer columns; else their width in characters (1-20)
    int count;             // items in the open row
    TableRow* currentRow;  // the open row, or null
    TableData* lastCell;   // last cell of the open row (a spacer cell when spacers are on)
    int firstRow;          // 1 until the first row is complete

    ZaTable(int columns, ZaBoolean spaced, int spacerWidth);
    ~ZaTable() override;

    void SetVerticalAlignment(const char* valign);
    void SetHorizontalAlignment(const char* align);
    void SetWrap(ZaBoolean wrap);

    // Each puts the item into the next cell and returns it; a null object
    // gives an empty cell; an attached one, or the table itself, is refused
    // (null, nothing changes).
    HTMLObject* addObject(HTMLObject* item) override;
    HTMLObject* addObject(const char* text, ZaBoolean activateURLs) override;
    HTMLObject* addObject(int number) override;

    // A row of its own whose one cell spans the full width.
    void AddRow(HTMLObject* object);
    // Widens the last cell of an unfinished row to the end of the row.
    void CloseRow();
    // Two items side by side: valign "center" (AddHTopH: "top"), kept for later cells.
    void AddHH(HTMLObject* left, HTMLObject* right);
    void AddHTopH(HTMLObject* left, HTMLObject* right);
    void AddHC(HTMLObject* left, const char* right);
    void AddCC(const char* left, const char* right);

private:
    TableData* NewCell(HTMLObject* content);
    void EndRow();
};

// A person's link whose mouse-over fills the page's card view (updateJCard)
// with fields of the person's card.
class ZaMouseOverLink : public A {
public:
    // card is read, not kept; it may be null.
    ZaMouseOverLink(const char* name, const char* uid, VCard* card);
};

class ZaPersonGroupTable : public ZaTable {
public:
    ZaPersonGroupTable();  // ZaTable(2, true, 4)

    // Each adds one heading row whose entries come from the list. A text
    // heading is set in bold; a null heading leaves the heading cell empty.
    // An empty (or null) list puts the hidden field "hack" in its place.
    void AddCheckedPeople(const char* field, ValList* uids, const char* heading, UserDB* users);
    void AddCheckedPeople(const char* field, ValList* uids, HTMLObject* heading, UserDB* users,
                          const char* onClick);
    void AddRadioButtonPeople(const char* field, ValList* uids, const char* heading,
                              const char* selectedUid, UserDB* users);
    void AddPeople(ValList* uids, const char* heading, UserDB* users, ZaBoolean linked);
    void AddPeople(ValList* uids, HTMLObject* heading, UserDB* users, ZaBoolean linked);
    void AddPeopleNoIcons(ValList* uids, const char* heading, UserDB* users);
    void AddPeopleNoIcons(ValList* uids, HTMLObject* heading, UserDB* users);
    void AddPeopleMouseOver(ValList* uids, const char* heading, UserDB* users, ZaConfigDB* config);
    void AddGroups(ValList* gids, const char* heading, GroupDB* groups);
    void AddGroupsNoIcons(ValList* gids, const char* heading, GroupDB* groups);
    void AddGroupsNoIcons(ValList* gids, HTMLObject* heading, GroupDB* groups);
    void AddCheckedGroups(const char* field, ValList* gids, const char* heading, GroupDB* groups);
    void AddCheckedDocuments(const char* field, ValList* documents, const char* heading);
    void AddDocumentsNoIcons(ValList* documents, const char* heading);
    // Each document links to baseUrl with the parameters added.
    void AddHyperlinkedDocuments(const char* heading, ValList* documents, const char* baseUrl,
                                 const char* message, ValNameList* params);

private:
    // Puts heading and inner part (or the "hack" field) into a row.
    void AddBlock(HTMLObject* heading, ZaTable* inner, int entries);
};

#endif
