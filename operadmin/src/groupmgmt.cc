// Groups' resources: the group search form and its results, the groups of
// an owner or by name, one group's summary, deletion and change of owner;
// and the members of selected groups for the user search.
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "consolepage.h"
#include "groupDB.h"
#include "operadmin.h"
#include "reqinfo.h"
#include "stringutil.h"
#include "userDB.h"
#include "zadocument.h"
#include "zalog.h"
#include "zasession.h"
#include "zarvoclasses.h"
#include "zastreamtable.h"

namespace {

const char kSource[] = "operadmin/src/groupmgmt";
const char kGroupSearch[] = "groupResSearchCondPage";
const char kSummaryLinkText[] = "View group information summary";
const char kChangeOwnerText[] = "Change the ownership of group";

const char* AccessText(ZaGroupRecord* record) { return record->shared == 1 ? "Shared" : "Private"; }

// "operadmin.cgi?program=operOnGroup&operation=...&uid=<gid>&orig_owner=...&fromPage=..."
Url* GroupActionUrl(const char* operation, const char* gid, const char* owner, const char* fromPage) {
    Url* url = ConsoleUrl("operOnGroup");
    url->addAttribute("operation", operation);
    url->addAttribute("uid", gid);
    url->addAttribute("orig_owner", owner);
    url->addAttribute("fromPage", fromPage);
    return url;
}

// A "done" button that takes the browser one page back.
HTMLObject* BackButton() {
    HTMLObject* button = DoneButton(new DoNothingUrl(), nullptr);
    button->addAttribute(ATTR_ONCLICK, "history.back()");
    return button;
}

}  // namespace

void OperAdmin::TransferMembersFromGroups(ValList* people, ValList* groups) {
    try {
        GroupDB* store = Groups();
        // The IDs already listed, so that large groups are merged in linear
        // time rather than by a search of the whole list for every member.
        std::unordered_set<std::string> listed;
        for (ValListItem* person = people->head; person; person = person->next)
            if (person->value) listed.insert(CaseKey(person->value));
        for (ValListItem* gid = groups ? groups->head : nullptr; gid; gid = gid->next) {
            // A group deleted since the selector listed it has no one to add.
            OwnedRecord record(store->GetGroup(gid->value));
            if (!record || !record->members) continue;
            for (ValListItem* member = record->members->head; member; member = member->next)
                if (member->value && listed.insert(CaseKey(member->value)).second) people->Append(member->value);
        }
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::TransferMembersFromGroups", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenGroupResSearchCondPage() {
    try {
        Log(ZA_INFO, "Generating Group resource search condition page");
        const bool flat = FlatFileStore();
        auto page = std::make_unique<ZaPage>();
        page->AddJSFunction("operadmin.js", "groupResSearchSelector");
        page->AddJSFunction("operadmin.js", "validateGroupResSearchCondFormSubmit");
        page->AddJSFunction("operadmin.js", "onChangeSelect");
        page->AddJSCloseChild();
        page->SetHelpContext("Manage Groups");

        const bool fromSelector = Param("selector") != nullptr;
        OwnedList chosen;
        const char* owner = nullptr;
        if (fromSelector) {
            chosen.reset(request->FindFormattedCookie("OnePersonSelectorCookie"));
            if (chosen && chosen->head) owner = chosen->head->value;
        } else {
            chosen.reset(new ValList());
            page->AddToList(new FormattedCookie("OnePersonSelectorCookie", chosen.get(), 0));
        }

        Url* action = ConsoleUrl("genGroupDiskUsage");
        action->addAttribute("fromPage", kGroupSearch);
        HTMLObject* form = page->AppendToBody(new ZaForm("condform", action));
        form->addObject(new ZaImage("hmanagegroups"));
        form->addObject(NewBr());
        form->addObject(new B(Message("GroupMgmtHdg")));
        AddBreaks(form, 2);

        auto all = new ZaRadioButton("selection", "all_g", " All groups");
        if (!fromSelector) all->MarkChecked();
        form->addObject(all);
        form->addObject(NewBr());

        form->addObject(new ZaRadioButton("selection", "group_name", " Groups with names containing"));
        form->addObject(new ZaTextInput("gname", "", 6))->addAttribute(ATTR_ONFOCUS, "onChangeSelect(1);");
        form->addObject(NewBr());

        auto ownerTable = new ZaTable(3, ZaFalse, 0);
        form->addObject(ownerTable);
        auto byOwner = new ZaRadioButton("selection", "group_owner", " Group Owned by ");
        if (fromSelector) byOwner->MarkChecked();
        ownerTable->addObject(byOwner);
        if (owner) {
            OwnedText name(DisplayName(owner));
            ownerTable->SetVerticalAlignment("bottom");
            ownerTable->addObject(new ZaPersonLink(name.get()));
            ownerTable->SetVerticalAlignment("top");
            form->addObject(new ZaHiddenInput("selectedOwner", owner));
            form->addObject(new ZaHiddenInput("ifSelected", "TRUE"));
        } else {
            ownerTable->addObject(static_cast<HTMLObject*>(nullptr));
            form->addObject(new ZaHiddenInput("ifSelected", "FALSE"));
        }
        String back(std::string("../../admin/bin/operadmin.cgi").append("?").append("program").append("=")
                        .append(kGroupSearch).c_str());
        back.PrepForURL();
        back.PrepForJS();
        const std::string select = std::string("javascript:groupResSearchSelector('") +
                                   "../../selector/bin/selector.cgi" + "?" + "selector_mode" + "=" + "single" +
                                   "','" + back.text + "')";
        ownerTable->addObject(new ZaImageButton("bselectuser", select.c_str(), "Select an user"));
        form->addObject(NewBr());

        int radios = 3;
        if (flat) {
            form->addObject(new ZaRadioButton("selection", "top_g", " Top "));
            form->addObject(new ZaTextInput("groups", "", 6))->addAttribute(ATTR_ONFOCUS, "onChangeSelect(3);");
            form->addObject(" groups by disk space usage", ZaFalse);
            form->addObject(NewBr());
            form->addObject(new ZaRadioButton("selection", "gt_g", " Groups using more than "));
            form->addObject(new ZaTextInput("gbytes", "", 6))->addAttribute(ATTR_ONFOCUS, "onChangeSelect(4);");
            form->addObject("bytes of disk space", ZaFalse);
            form->addObject(NewBr());
            radios = 5;
        }
        form->addObject(NewHr());
        const std::string start =
            "javascript:validateGroupResSearchCondFormSubmit('" + std::to_string(radios) + "')";
        form->addObject(new ZaImageButton("bstartsearch", start.c_str(), "Start search"));
        form->addObject(new ZaImageButton("bcancel", kHelpSummary, "Cancel"));
        Log(ZA_INFO, "Done generationg group resource search condition page");
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenGroupResSearchCondPage", ZaFalse);
        throw;
    }
}

// What a row of a group table shows, read from the stores before the page
// goes out and made into cells while it is written.
struct GroupRowFacts {
    std::string gid;
    std::string name;
    std::string bytes;  // shown only with the flat-file store
    bool shared;
    int members;
    int files;
    std::string ownerName;
};

namespace {

void AddGroupRow(ZaTable* table, const GroupRowFacts& row, bool withBytes, bool linked) {
    auto link = new ZaGroupLink(row.name.c_str());
    table->addObject(link);
    if (linked) {
        Url* summary = ConsoleUrl("genGroupResUsage");
        summary->addAttribute("fromPage", "group_res");
        summary->addAttribute("uid", row.gid.c_str());
        WithAddress(link, summary, kSummaryLinkText);
    }
    if (withBytes) table->addObject(row.bytes.c_str(), ZaFalse);
    table->addObject(row.shared ? "Shared" : "Private", ZaFalse);
    table->addObject(row.members);
    table->addObject(row.files);
    table->addObject(new ZaPersonLink(row.ownerName.c_str()));
}

// Streams the rows into the table, each linked or not.
void StreamGroupRows(ZaStreamedTable* table, std::shared_ptr<std::vector<GroupRowFacts>> rows, bool withBytes,
                     bool linked) {
    table->StreamEntries(rows->size(), [rows, withBytes, linked](ZaTable* t, size_t i) {
        AddGroupRow(t, (*rows)[i], withBytes, linked);
    });
}

}  // namespace

ZaStreamedTable* OperAdmin::NewGroupTable() {
    const bool flat = FlatFileStore();
    auto table = new ZaStreamedTable(flat ? 6 : 5, ZaTrue, 4);
    table->addObject(new B("Group Name"));
    if (flat) table->addObject(new B("Disk Space (bytes)"));
    for (const char* heading : {"Access Control", "No. of Members", "No. of Files", "Owner"})
        table->addObject(new B(heading));
    return table;
}

GroupRowFacts OperAdmin::ReadGroupRow(ZaGroupRecord* record, const char* bytes) {
    GroupRowFacts row;
    row.gid = record->groupId ? record->groupId : "";
    row.name = record->groupName ? record->groupName : "";
    if (FlatFileStore())
        row.bytes = bytes ? bytes : std::to_string(Groups()->GetGroupDiskUsage(Arg(row.gid.c_str())));
    row.shared = record->shared == 1;
    row.members = CountOf(record->members);
    OwnedDocuments files(Groups()->GetGroupFiles(Arg(row.gid.c_str())));
    row.files = files ? files->count : 0;
    OwnedText owner(DisplayName(record->ownerId));
    row.ownerName = owner.get();
    return row;
}

Page* OperAdmin::GenGroupDiskUsagePage() {
    try {
        Log(ZA_INFO, "Generationg group disk usage page");
        const char* selection = Param("selection");
        const bool fromUserSearch = Is(Param("fromPage"), "resSearchCondPage");
        if (Is(selection, "group_name")) return GenGroupNamedListPage(ParamText("gname"));
        if (Is(selection, "group_owner")) return GenGroupOwnedListPage(ParamText("selectedOwner"));
        const bool above = Is(selection, "gt_g");
        const bool top = Is(selection, "top_g");
        const long threshold = ParamNumber("gbytes");
        const long wanted = ParamNumber("groups");
        const bool flat = FlatFileStore();
        GroupDB* groups = Groups();
        OwnedNameList list(flat ? groups->GetAllGroupsDiskUsage() : groups->GetAllGroups());

        auto page = std::make_unique<ZaPage>();
        page->SetHelpContext("Manage Groups");
        if (!fromUserSearch) {
            page->AppendToBody(new ZaImage("hmanagegroups"));
            AddBreaks(page->body, 2);
            page->AppendToBody(new B(Message("GroupMgmtSummHdg")));
            AddBreaks(page->body, 2);
        }
        std::unique_ptr<ZaStreamedTable> table(NewGroupTable());
        OwnedList mailList(new ValList());
        std::unordered_set<std::string> mailed;  // owners already listed, ignoring case
        auto found = std::make_shared<std::vector<GroupRowFacts>>();
        for (ValNameListItem* item = list ? list->head : nullptr; item; item = item->next) {
            if (flat && above && DecimalValue(item->extra1) < threshold) continue;
            if (flat && top && static_cast<long>(found->size()) >= wanted) break;
            OwnedRecord record(groups->GetGroup(item->name));
            if (!record) continue;
            found->push_back(ReadGroupRow(record.get(), flat ? item->extra1 : nullptr));
            if ((above || top) && record->ownerId && mailed.insert(CaseKey(record->ownerId)).second)
                mailList->Append(record->ownerId);
        }
        const size_t rows = found->size();
        StreamGroupRows(table.get(), found, flat, !fromUserSearch);
        if (rows == 0)
            page->AppendToBody(new B("No groups were found for the given search condition."));
        else
            page->AppendToBody(table.release());
        page->AppendToBody(NewHr());
        if (mailList->count > 0)
            page->AppendToBody(new ZaImageButton(new EmailUrl(mailList.get(), Users()), "bemail",
                                                 "Send email to owner of the groups in the list"));
        page->AppendToBody(
            DoneButton(ConsoleUrl(fromUserSearch ? "resSearchCondPage" : kGroupSearch), "application_main"));
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenGroupDiskUsagePage", ZaFalse);
        throw;
    }
}

void OperAdmin::AddGroupListing(ZaPage* page, ValList* gids) {
    page->AppendToBody(new B(Message("GroupMgmtSummHdg")));
    AddBreaks(page->body, 3);
    auto table = NewGroupTable();
    page->AppendToBody(table);
    GroupDB* groups = Groups();
    auto found = std::make_shared<std::vector<GroupRowFacts>>();
    for (ValListItem* gid = gids->head; gid; gid = gid->next) {
        OwnedRecord record(groups->GetGroup(gid->value));
        if (!record) break;
        found->push_back(ReadGroupRow(record.get(), nullptr));
    }
    StreamGroupRows(table, found, FlatFileStore(), true);
    page->AppendToBody(DoneButton(ConsoleUrl(kGroupSearch), "application_main"));
}

Page* OperAdmin::GenGroupOwnedListPage(const char* owner) {
    try {
        OwnedList gids(Groups()->GetGroupsOwnedBy(Arg(owner), Users()));
        auto page = std::make_unique<ZaPage>();
        page->AppendToBody(new ZaImage("hmanagegroups"));
        AddBreaks(page->body, 2);
        if (CountOf(gids.get()) > 0)
            AddGroupListing(page.get(), gids.get());
        else
            page->AppendToBody(new B("No groups were found for the given user"));
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenGroupOwnedListPage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenGroupNamedListPage(const char* text) {
    try {
        OwnedNameList all(Groups()->GetAllGroups());
        OwnedList gids(new ValList());
        for (ValNameListItem* item = all ? all->head : nullptr; item; item = item->next)
            if (item->value && StringSubstring(text, item->value)) gids->Append(item->name);
        auto page = std::make_unique<ZaPage>();
        page->AppendToBody(new ZaImage("hmanagegroups"));
        AddBreaks(page->body, 2);
        if (gids->count > 0) {
            AddGroupListing(page.get(), gids.get());
        } else {
            page->AppendToBody(new B("No groups with name containing "));
            page->AppendToBody(Unlinked(new I(text)));
            page->AppendToBody(new B(" were found"));
        }
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenGroupNamedListPage", ZaFalse);
        throw;
    }
}

void OperAdmin::AddGroupGoneNotice(ZaPage* page) {
    AddBreaks(page->body, 3);
    page->AppendToBody(new B((std::string("This group is no longer available. ") + "It may have been deleted " +
                              "either by its owner or by an administrator")
                                 .c_str()));
    page->AppendToBody(NewHr());
}

Page* OperAdmin::GenGidResUsagePage(const char* gid, const char* fromPage) {
    try {
        const char* group = gid ? gid : ParamText("uid");
        const char* from = fromPage ? fromPage : ParamText("fromPage");
        GroupDB* groups = Groups();
        OwnedRecord record(groups->GetGroup(Arg(group)));
        auto page = std::make_unique<ZaPage>();
        page->SetHelpContext("Manage Groups");
        if (!record) {
            Log(ZA_INFO, "Group info not found in GenGidResUsagePage generation");
            AddGroupGoneNotice(page.get());
            // From a user's shared-group list the owner went with the record:
            // going back shows that list again, as fresh as the browser keeps it.
            if (Is(from, "group_res")) {
                page->AppendToBody(DoneButton(ConsoleUrl(kGroupSearch), nullptr));
            } else {
                page->AddJSDoNothing();
                page->AppendToBody(BackButton());
            }
            return page.release();
        }

        page->AddJSConfirm();
        page->AddJSDoNothing();
        page->AppendToBody(new ZaImage("hmanagegroups"));
        AddBreaks(page->body, 2);
        page->AppendToBody(new B(Message("GroupMgmtGidResHdg")));
        AddBreaks(page->body, 2);
        page->AppendToBody(Message("GroupMgmtGidResInfo1"));
        AddBreaks(page->body, 2);
        page->AppendToBody(new ZaImage("sgroupsummary"));
        page->AppendToBody(NewBr());

        auto table = new ZaTable(2, ZaTrue, 4);
        page->AppendToBody(table);
        OwnedText name(groups->GetGroupName(Arg(group)));
        OwnedText owner(DisplayName(record->ownerId));
        table->addObject(new B("Group Name"));
        table->addObject(new ZaGroupLink(name ? name.get() : ""));
        table->addObject(new B("Access Control"));
        table->addObject(AccessText(record.get()), ZaFalse);
        table->addObject(new B("Owner"));
        table->addObject(new ZaPersonLink(owner.get()));
        table->addObject(new B("No. of Members"));
        table->addObject(CountOf(record->members));
        if (FlatFileStore()) {
            table->addObject(new B("Disk Space (bytes)"));
            table->addObject(std::to_string(groups->GetGroupDiskUsage(Arg(group))).c_str(), ZaFalse);
        }
        page->AppendToBody(NewHr());

        const char* ownerId = record->ownerId ? record->ownerId : "";
        if (CountOf(record->members) > 1)
            page->AppendToBody(new ZaImageButton(
                ZaProtectUrl(this, GroupActionUrl("chgowner", group, ownerId, "gid_res"), "operOnGroup"),
                "bchangeowner", kChangeOwnerText));
        page->AppendToBody(new ZaImageButton(
            new ConfirmUrl("Do your really want to delete this group?",
                           ZaProtectUrl(this, GroupActionUrl("delete", group, ownerId, "gid_res"), "operOnGroup")),
            "bdeletegroup", "Delete this group"));
        if (Is(from, "group_owned")) {
            Url* back = ConsoleUrl("genGroupOwnedPage");
            back->addAttribute("uid", ownerId);
            page->AppendToBody(DoneButton(back, nullptr));
        } else if (Is(from, "group_res")) {
            page->AppendToBody(DoneButton(ConsoleUrl(kGroupSearch), nullptr));
        } else {
            page->AppendToBody(BackButton());
        }
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenGidResUsagePage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::OperateOnGroup() {
    try {
        const char* operation = Param("operation");
        const char* gid = ParamText("uid");
        const char* fromPage = ParamText("fromPage");
        const char* origOwner = ParamText("orig_owner");
        if (Is(operation, "delete")) {
            Log(ZA_INFO, "About to delete the group");
            const bool deleted = Groups()->DeleteGroup(Arg(gid), Users(), ZaTrue) != ZaFalse;
            if (!deleted) Log(ZA_ERROR, "Failure in delete group");
            ZaAudit(this, nullptr, "delete group", gid, deleted ? "ok" : "failed");
            return GenGroupResSearchCondPage();
        }
        if (Is(operation, "commit")) {
            Log(ZA_INFO, "About to modify the group owner");
            const char* newOwner = ParamText("selection");
            const bool changed = Groups()->ChangeOwner(Arg(gid), Arg(newOwner), Users()) != ZaFalse;
            if (!changed) Log(ZA_ERROR, "Failure in modifying group owner");
            ZaAudit(this, nullptr, "change group owner", (std::string(gid) + " to " + newOwner).c_str(),
                    changed ? "ok" : "failed");
            if (Is(fromPage, "group_owned")) return GenGroupOwnedPage(origOwner);
            if (Is(fromPage, "gid_res")) return GenGidResUsagePage(gid, "group_res");
        }
        return GenChangeOwnerForm(gid, fromPage, origOwner);
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::OperateOnGroup", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenChangeOwnerForm(const char* gid, const char* fromPage, const char* origOwner) {
    GroupDB* groups = Groups();
    UserDB* users = Users();
    OwnedRecord record(groups->GetGroup(Arg(gid)));
    auto page = std::make_unique<ZaPage>();
    page->SetHelpContext("Manage Groups");

    // Where the cancel button leads, after the page the change started from.
    auto cancelUrl = [&]() {
        Url* url;
        if (Is(fromPage, "group_owned")) {
            url = ConsoleUrl("genGroupOwnedPage");
            url->addAttribute("uid", origOwner);
        } else if (Is(fromPage, "gid_res")) {
            url = ConsoleUrl("genGroupResUsage");
            url->addAttribute("uid", gid);
            url->addAttribute("fromPage", "group_res");
        } else {
            url = new Url("operadmin.cgi");
        }
        return url;
    };
    if (!record) {
        // Nobody can take over a group that no longer exists: say so and
        // offer the way back the cancel button would have taken.
        Log(ZA_INFO, "Group info not found for the change of owner");
        AddGroupGoneNotice(page.get());
        page->AppendToBody(DoneButton(cancelUrl(), nullptr));
        return page.release();
    }

    page->AddJSFunction("operadmin.js", "validateRadioFormSelectionSubmit");
    Url* action = ConsoleUrl("operOnGroup");
    action->addAttribute("operation", "commit");
    action->addAttribute("fromPage", fromPage);
    action->addAttribute("orig_owner", origOwner);
    action->addAttribute("uid", gid);
    ZaProtectUrl(this, action, "operOnGroup");
    HTMLObject* form = page->AppendToBody(new ZaForm("operform", action));
    form->addObject(new ZaImage("hmanagegroups"));
    AddBreaks(form, 2);
    form->addObject(new B(Message("GroupMgmtChgOwnHdg")));
    AddBreaks(form, 2);
    form->addObject(Message("GroupMgmtChgOwnInfo1"), ZaFalse);
    AddBreaks(form, 2);
    form->addObject(new ZaImage("schangegroupowner"));
    form->addObject(NewBr());

    auto table = new ZaPersonGroupTable();
    form->addObject(table);
    OwnedText owner(DisplayName(record->ownerId));
    table->AddHH(new B("Group Name"), new ZaGroupLink(record->groupName ? record->groupName : ""));
    table->AddHH(new B("Current Owner"), new ZaPersonLink(owner.get()));
    table->AddHC(new B("Access Control"), record->shared == 1 ? "Shared Group" : "Private Group");
    table->AddRadioButtonPeople("selection", record->members, "New Owner", nullptr, users);

    form->addObject(NewHr());
    const std::string save =
        "javascript:validateRadioFormSelectionSubmit('" + std::to_string(CountOf(record->members)) + "')";
    form->addObject(new ZaImageButton("bsave", save.c_str(), "Save"));
    form->addObject(new ZaImageButton(cancelUrl(), "bcancel", "Cancel"));
    return page.release();
}
