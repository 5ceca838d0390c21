// Small building blocks shared by the console's page generators: console
// links, common page pieces, owning pointers for store results and the
// decimal reading of request values. Every new node returned here belongs to
// whoever puts it into a tree.
#ifndef CONSOLEPAGE_H
#define CONSOLEPAGE_H

#include <cstdlib>
#include <memory>
#include <string>

#include "Classes.h"
#include "vallist.h"

class ZaGroupRecord;
class ZaDocumentObjList;
class ZaFrameSetPage;

// The console's help summary, the page behind every "done" on a start page.
inline constexpr char kHelpSummary[] = "../help/operadmin_sum.htm";
inline constexpr char kDoneGif[] = "bdone";
inline constexpr char kDoneText[] = "Click here to go back to previous page";
// The setting for the shortest password a new account may have (none when missing).
inline constexpr char kMinPasswordLengthSetting[] = "minPasswordLength";

// Frees a malloc text; unique owner of store texts.
struct FreeText {
    void operator()(char* text) const { free(text); }
};
typedef std::unique_ptr<char, FreeText> OwnedText;
typedef std::unique_ptr<ValList> OwnedList;
typedef std::unique_ptr<ValNameList> OwnedNameList;

struct RecordDeleter {
    void operator()(ZaGroupRecord* record) const;
};
typedef std::unique_ptr<ZaGroupRecord, RecordDeleter> OwnedRecord;

struct DocumentsDeleter {
    void operator()(ZaDocumentObjList* documents) const;
};
typedef std::unique_ptr<ZaDocumentObjList, DocumentsDeleter> OwnedDocuments;

// "operadmin.cgi" with `program` set (more parameters may follow).
Url* ConsoleUrl(const char* program);

// True when value is present and equals expected, ignoring letter case.
bool Is(const char* value, const char* expected);

// A user or group ID as a key of a hash set or map: IDs compare without
// regard to letter case, as the lists' own lookups do. Null gives "".
std::string CaseKey(const char* id);

// Decimal value of a text; null or non-numeric text counts as 0.
long DecimalValue(const char* text);

Br* NewBr();
Hr* NewHr();
// Appends `count` line breaks to parent.
void AddBreaks(HTMLObject* parent, int count);

// An image button with the console's "done" look leading to link (owned from
// now on), opening in target unless it is null.
HTMLObject* DoneButton(HTMLObject* link, const char* target);

// Entries of a list, 0 for none.
int CountOf(ValList* list);

// The stores take non-const texts that they only read.
inline char* Arg(const char* text) { return const_cast<char*>(text); }

// Raises an internal error with one trace line not shown to the user.
[[noreturn]] void RaiseConsoleError(int line, const char* source, const char* message);

// Gives an icon link (a person or group link without address) its address
// (owned from now on) and status message; the icon's alternative text is the
// message too. Returns the link.
A* WithAddress(A* link, Url* address, const char* message);

// Sets border, frameborder and framespacing of the page's frame set to 1.
void ShowFrameBorders(ZaFrameSetPage* page);

#endif
