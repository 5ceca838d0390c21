// Grid tables and the person, group and document blocks built on them.
#include "zatables.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <utility>
#include <vector>

#include "groupDB.h"
#include "string_class.h"
#include "textsupport.h"
#include "userDB.h"
#include "vallist.h"
#include "vcard.h"
#include "zaforms.h"
#include "zaimages.h"

namespace {

const char* const kNoText = nullptr;  // picks the text constructor of a tag class
const char kSource[] = "zarvolib/src/zatables";
constexpr int kMaxSpacerWidth = 20;
// Blocks of this many entries or more get their heading at the top.
constexpr int kTopHeadingEntries = 4;

[[noreturn]] void Rethrow(ZaError* error, int line, const char* where) {
    error->AddLine(line, kSource, (std::string("Error in ZaPersonGroupTable::") + where).c_str(), ZaFalse);
    throw error;
}

int EntryCount(ValList* list) { return list ? list->count : 0; }

HTMLObject* BoldOrNull(const char* heading) { return heading ? new B(heading) : nullptr; }

// One entry of a block: its id (user id, group id or document) and the name shown.
using Entry = std::pair<const char*, const char*>;

std::vector<Entry> EntriesOf(const ValNameList* pairs) {
    std::vector<Entry> entries;
    for (ValNameListItem* item = pairs ? pairs->head : nullptr; item; item = item->next)
        entries.emplace_back(item->name, item->value);
    return entries;
}

std::vector<Entry> EntriesOf(const ValList* documents) {
    std::vector<Entry> entries;
    for (ValListItem* item = documents ? documents->head : nullptr; item; item = item->next)
        entries.emplace_back(item->value, item->value);
    return entries;
}

// The three-column inner table of a block, one widget per entry.
template <typename MakeWidget>
std::unique_ptr<ZaTable> EntriesTable(const std::vector<Entry>& entries, MakeWidget makeWidget) {
    auto inner = std::make_unique<ZaTable>(3, ZaTrue, 4);
    inner->SetWrap(ZaFalse);
    for (const Entry& entry : entries) inner->addObject(makeWidget(entry.first, entry.second));
    return inner;
}

ZaCheckBox* CheckedBox(const char* field, const char* value, HTMLObject* link) {
    ZaCheckBox* box = new ZaCheckBox(field, value);
    box->MarkChecked();
    box->addObject(link);
    return box;
}

// The inner table of a block of people or groups: the store sorts the ids by
// their display names, and each gets one widget. No ids make no table, and a
// store error carries the name of the table operation that asked.
template <typename Store, typename MakeWidget>
std::unique_ptr<ZaTable> StoreEntriesTable(ValList* ids, Store* store, int line, const char* where,
                                           MakeWidget makeWidget) {
    if (!EntryCount(ids)) return nullptr;
    try {
        std::unique_ptr<ValNameList> names(store->SortByValue(ids));
        return EntriesTable(EntriesOf(names.get()), makeWidget);
    } catch (ZaError* e) {
        Rethrow(e, line, where);
    }
}

std::string JSField(const char* text) {
    String field(text ? text : "");
    field.PrepForJS();
    return std::string("'") + field.text + "'";
}

const char* EntryValue(VCard* card, int propId, int typeIndex = -1) {
    if (!card) return nullptr;
    VCardEntry* entry = typeIndex < 0 ? card->GetEntry(propId) : card->GetEntry(propId, typeIndex);
    return entry ? entry->value : nullptr;
}

std::string Formatted(VCard* card, int propId, char* (VCardEntry::*format)() const) {
    VCardEntry* entry = card ? card->GetEntry(propId) : nullptr;
    OwnedText text(entry ? (entry->*format)() : nullptr);
    return text ? text.get() : "";
}

}  // namespace

ZaTable::ZaTable(int cols, ZaBoolean spaced, int width)
    : Table(kNoText),
      wrap(1),
      valign(strdup("top")),
      align(strdup("left")),
      columns(std::max(cols, 1)),
      spacerWidth(spaced == ZaTrue ? std::clamp(width, 1, kMaxSpacerWidth) : 0),
      count(0),
      currentRow(nullptr),
      lastCell(nullptr),
      firstRow(1) {
    addAttribute(ATTR_CELLSPACING, 0);
    addAttribute(ATTR_CELLPADDING, 0);
}

ZaTable::~ZaTable() {
    free(valign);
    free(align);
}

void ZaTable::SetVerticalAlignment(const char* value) { ReplaceCopy(valign, value); }

void ZaTable::SetHorizontalAlignment(const char* value) { ReplaceCopy(align, value); }

void ZaTable::SetWrap(ZaBoolean on) { wrap = on == ZaTrue ? 1 : 0; }

void ZaTable::EndRow() {
    currentRow = nullptr;
    count = 0;
    lastCell = nullptr;
}

TableData* ZaTable::NewCell(HTMLObject* content) {
    TableData* cell = new TableData(kNoText);
    if (content) cell->addObject(content);
    cell->addAttribute(ATTR_VALIGN, valign);
    cell->addAttribute(ATTR_ALIGN, align);
    if (!wrap) cell->addAttribute(ATTR_NOWRAP, "true");
    return cell;
}

HTMLObject* ZaTable::addObject(HTMLObject* item) {
    // The table itself in one of its cells would make the tree a loop.
    if (item && (item->attached || item == this)) return nullptr;
    if (!currentRow) {
        currentRow = new TableRow(kNoText);
        HTMLObject::addObject(currentRow);
    }
    TableData* cell = NewCell(item);
    currentRow->addObject(cell);
    count++;
    if (spacerWidth > 0 && count != columns) {
        TableData* spacer = new TableData(kNoText);
        // Only the first row needs to hold the spacer columns open.
        if (firstRow) spacer->addData(std::string(spacerWidth, '\xa0').c_str());
        currentRow->addObject(spacer);
        lastCell = spacer;
    } else {
        lastCell = cell;
    }
    if (count == columns) {
        EndRow();
        firstRow = 0;
    }
    return item;
}

// The tree's own text and number nodes go through the object slot, which a
// table overrides: each lands in a cell of its own.
HTMLObject* ZaTable::addObject(const char* text, ZaBoolean activateURLs) {
    return HTMLObject::addObject(text, activateURLs);
}

HTMLObject* ZaTable::addObject(int number) { return HTMLObject::addObject(number); }

void ZaTable::AddRow(HTMLObject* object) {
    TableRow* row = new TableRow(kNoText);
    HTMLObject::addObject(row);
    TableData* cell = new TableData(kNoText);
    if (!wrap) cell->addAttribute(ATTR_NOWRAP, "true");
    cell->addObject(object);
    cell->addAttribute(ATTR_COLSPAN, spacerWidth > 0 ? 2 * columns - 1 : columns);
    row->addObject(cell);
    EndRow();
}

void ZaTable::CloseRow() {
    if (currentRow && count != columns && lastCell) {
        int rest = columns - count;
        lastCell->addAttribute(ATTR_COLSPAN, spacerWidth > 0 ? 2 * rest - 1 : rest);
    }
    EndRow();
}

void ZaTable::AddHH(HTMLObject* left, HTMLObject* right) {
    SetVerticalAlignment("center");
    addObject(left);
    addObject(right);
}

void ZaTable::AddHTopH(HTMLObject* left, HTMLObject* right) {
    SetVerticalAlignment("top");
    addObject(left);
    addObject(right);
}

void ZaTable::AddHC(HTMLObject* left, const char* right) {
    SetVerticalAlignment("center");
    addObject(left);
    addObject(right, ZaFalse);
}

void ZaTable::AddCC(const char* left, const char* right) {
    SetVerticalAlignment("center");
    addObject(left, ZaFalse);
    addObject(right, ZaFalse);
}

// Which card fields fill the card view, in the order updateJCard takes them:
// name, title, organisation, role, e-mail, work, fax, mobile and home
// telephone, address, web page, time zone, note and the user id.
ZaMouseOverLink::ZaMouseOverLink(const char* name, const char* uid, VCard* card) : A(kNoText) {
    Url* url = new Url("../../orgview/bin/orgview.cgi");
    url->addAttribute("program", "front");
    url->addAttribute("selected_prog", "getentry");
    url->addAttribute("uid", uid);
    addAttribute(ATTR_HREF, url);
    addAttribute(ATTR_TARGET, "main_frame");

    const std::string fields[] = {
        JSField(EntryValue(card, VCardPropFn)),
        JSField(EntryValue(card, VCardPropTitle)),
        JSField(Formatted(card, VCardPropOrg, &VCardEntry::FormatOrg).c_str()),
        JSField(EntryValue(card, VCardPropRole)),
        JSField(EntryValue(card, VCardPropEmail)),
        JSField(EntryValue(card, VCardPropTel, VCardTypeWork)),
        JSField(EntryValue(card, VCardPropTel, VCardTypeFax)),
        JSField(EntryValue(card, VCardPropTel, VCardTypeCell)),
        JSField(EntryValue(card, VCardPropTel, VCardTypeHome)),
        JSField(Formatted(card, VCardPropAdr, &VCardEntry::FormatAdr).c_str()),
        JSField(EntryValue(card, VCardPropUrl)),
        JSField(EntryValue(card, VCardPropTz)),
        JSField(EntryValue(card, VCardPropNote)),
        JSField(uid),
    };
    std::string script = "updateJCard(";
    for (const std::string& field : fields) script += (&field == fields ? "" : ",") + field;
    script += ");self.status='View personal information';return true";
    addAttribute(ATTR_ONMOUSEOVER, script.c_str());

    ZaCommonImage* icon = new ZaCommonImage("mpersonicon");
    icon->addAttribute(ATTR_ALIGN, "top");
    addObject(icon);
    addObject(name, ZaFalse);
}

ZaPersonGroupTable::ZaPersonGroupTable() : ZaTable(2, ZaTrue, 4) {}

void ZaPersonGroupTable::AddBlock(HTMLObject* heading, ZaTable* inner, int entries) {
    HTMLObject* content = inner ? static_cast<HTMLObject*>(inner) : new ZaHiddenInput("hack", "hack");
    if (heading && entries >= kTopHeadingEntries) {
        AddHTopH(heading, content);
    } else {
        AddHH(heading, content);
    }
}

void ZaPersonGroupTable::AddCheckedPeople(const char* field, ValList* uids, const char* heading, UserDB* users) {
    AddCheckedPeople(field, uids, BoldOrNull(heading), users, nullptr);
}

void ZaPersonGroupTable::AddCheckedPeople(const char* field, ValList* uids, HTMLObject* heading, UserDB* users,
                                          const char* onClick) {
    std::unique_ptr<HTMLObject> head(heading);
    std::unique_ptr<ZaTable> inner =
        StoreEntriesTable(uids, users, __LINE__, "AddCheckedPeople", [&](const char* uid, const char* name) {
            ZaCheckBox* box = CheckedBox(field, uid, new ZaCenterAlignedPersonLink(name));
            if (onClick) box->addAttribute(ATTR_ONCLICK, onClick);
            return box;
        });
    AddBlock(head.release(), inner.release(), EntryCount(uids));
}

void ZaPersonGroupTable::AddRadioButtonPeople(const char* field, ValList* uids, const char* heading,
                                              const char* selectedUid, UserDB* users) {
    std::unique_ptr<HTMLObject> head(BoldOrNull(heading));
    std::unique_ptr<ZaTable> inner =
        StoreEntriesTable(uids, users, __LINE__, "AddRadioButtonPeople", [&](const char* uid, const char* name) {
            ZaRadioButton* button = new ZaRadioButton(field, uid, name);
            if (uid && selectedUid && strcasecmp(uid, selectedUid) == 0) button->MarkChecked();
            return button;
        });
    AddBlock(head.release(), inner.release(), EntryCount(uids));
}

void ZaPersonGroupTable::AddPeople(ValList* uids, const char* heading, UserDB* users, ZaBoolean linked) {
    AddPeople(uids, BoldOrNull(heading), users, linked);
}

void ZaPersonGroupTable::AddPeople(ValList* uids, HTMLObject* heading, UserDB* users, ZaBoolean linked) {
    std::unique_ptr<HTMLObject> head(heading);
    std::unique_ptr<ZaTable> inner =
        StoreEntriesTable(uids, users, __LINE__, "AddPeople", [&](const char* uid, const char* name) {
            return linked == ZaTrue ? new ZaPersonLink(name, uid) : new ZaPersonLink(name);
        });
    AddBlock(head.release(), inner.release(), EntryCount(uids));
}

void ZaPersonGroupTable::AddPeopleNoIcons(ValList* uids, const char* heading, UserDB* users) {
    AddPeopleNoIcons(uids, BoldOrNull(heading), users);
}

void ZaPersonGroupTable::AddPeopleNoIcons(ValList* uids, HTMLObject* heading, UserDB* users) {
    std::unique_ptr<HTMLObject> head(heading);
    std::unique_ptr<ZaTable> inner = StoreEntriesTable(uids, users, __LINE__, "AddPeopleNoIcons",
                                                       [](const char*, const char* name) { return new B(name); });
    AddBlock(head.release(), inner.release(), EntryCount(uids));
}

// The card view needs no configuration setting yet; the parameter keeps the
// call the same for the suite's programs that pass one.
void ZaPersonGroupTable::AddPeopleMouseOver(ValList* uids, const char* heading, UserDB* users, ZaConfigDB*) {
    std::unique_ptr<HTMLObject> head(BoldOrNull(heading));
    std::unique_ptr<ZaTable> inner =
        StoreEntriesTable(uids, users, __LINE__, "AddPeopleMouseOver", [&](const char* uid, const char* name) {
            std::unique_ptr<VCard> card(users->GetVCard(const_cast<char*>(uid), ZaFalse));
            return new ZaMouseOverLink(name, uid, card.get());
        });
    AddBlock(head.release(), inner.release(), EntryCount(uids));
}

void ZaPersonGroupTable::AddGroups(ValList* gids, const char* heading, GroupDB* groups) {
    std::unique_ptr<HTMLObject> head(BoldOrNull(heading));
    std::unique_ptr<ZaTable> inner =
        StoreEntriesTable(gids, groups, __LINE__, "AddGroups",
                          [](const char* gid, const char* name) { return new ZaGroupLink(name, gid); });
    AddBlock(head.release(), inner.release(), EntryCount(gids));
}

void ZaPersonGroupTable::AddGroupsNoIcons(ValList* gids, const char* heading, GroupDB* groups) {
    AddGroupsNoIcons(gids, BoldOrNull(heading), groups);
}

void ZaPersonGroupTable::AddGroupsNoIcons(ValList* gids, HTMLObject* heading, GroupDB* groups) {
    std::unique_ptr<HTMLObject> head(heading);
    std::unique_ptr<ZaTable> inner = StoreEntriesTable(gids, groups, __LINE__, "AddGroupsNoIcons",
                                                       [](const char*, const char* name) { return new B(name); });
    AddBlock(head.release(), inner.release(), EntryCount(gids));
}

void ZaPersonGroupTable::AddCheckedGroups(const char* field, ValList* gids, const char* heading, GroupDB* groups) {
    std::unique_ptr<HTMLObject> head(BoldOrNull(heading));
    std::unique_ptr<ZaTable> inner = StoreEntriesTable(
        gids, groups, __LINE__, "AddCheckedGroups",
        [&](const char* gid, const char* name) { return CheckedBox(field, gid, new ZaCenterAlignedGroupLink(name)); });
    AddBlock(head.release(), inner.release(), EntryCount(gids));
}

void ZaPersonGroupTable::AddCheckedDocuments(const char* field, ValList* documents, const char* heading) {
    std::unique_ptr<ZaTable> inner;
    if (EntryCount(documents)) {
        inner = EntriesTable(EntriesOf(documents), [&](const char* document, const char*) {
            return CheckedBox(field, document, new ZaCenterAlignedDocumentLink(document));
        });
    }
    AddBlock(BoldOrNull(heading), inner.release(), EntryCount(documents));
}

void ZaPersonGroupTable::AddDocumentsNoIcons(ValList* documents, const char* heading) {
    std::unique_ptr<ZaTable> inner;
    if (EntryCount(documents)) {
        inner = EntriesTable(EntriesOf(documents),
                             [](const char* document, const char*) { return new ZaDocumentLink(document); });
    }
    AddBlock(BoldOrNull(heading), inner.release(), EntryCount(documents));
}

void ZaPersonGroupTable::AddHyperlinkedDocuments(const char* heading, ValList* documents, const char* baseUrl,
                                                 const char* message, ValNameList* params) {
    std::unique_ptr<ZaTable> inner;
    if (EntryCount(documents)) {
        inner = EntriesTable(EntriesOf(documents), [&](const char* document, const char*) {
            Url* url = new Url(baseUrl);
            url->addAttribute(params);
            return new ZaDocumentLink(document, url, message);
        });
    }
    AddBlock(BoldOrNull(heading), inner.release(), EntryCount(documents));
}
