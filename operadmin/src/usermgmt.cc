// Users' resources: the search form, the result frame set and its heading,
// the user result table; non-current users, one user's summary, the hand-over
// of a user's shared groups, account clean-up and the paged list of user IDs;
// and the creation of new accounts.
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "consolepage.h"
#include "groupDB.h"
#include "operadmin.h"
#include "reqinfo.h"
#include "stringutil.h"
#include "userDB.h"
#include "zalog.h"
#include "zasession.h"
#include "zarvoclasses.h"
#include "zastreamtable.h"

namespace {

const char kSource[] = "operadmin/src/usermgmt";
const char kNoUsersFound[] = "No users were found for the given search condition.";
const char kResultsSearch[] = "resSearchCondPage";

std::unordered_set<std::string> IdSet(ValNameList* list) {
    std::unordered_set<std::string> ids;
    for (ValNameListItem* item = list ? list->head : nullptr; item; item = item->next)
        ids.insert(CaseKey(item->name));
    return ids;
}

// The account holders (items of accounts, in its order) who are not among the
// current users. One pass over each list, so that a large directory stays fast.
std::vector<ValNameListItem*> NonCurrentAccounts(ValNameList* accounts, ValNameList* current) {
    std::unordered_set<std::string> currentIds = IdSet(current);
    std::vector<ValNameListItem*> result;
    for (ValNameListItem* item = accounts ? accounts->head : nullptr; item; item = item->next)
        if (!currentIds.count(CaseKey(item->name))) result.push_back(item);
    return result;
}

struct OwnedGroupCounts {
    int shared = 0;
    int priv = 0;
};

// One row of the user result table, kept compact until the row is made.
struct UsageRow {
    const char* name;   // display name, else the user ID; the usage list's text
    const char* bytes;  // as the store wrote it; the usage list's text
    int memberOf;
    OwnedGroupCounts owned;
    int hotPeople;
    int hotGroups;
};

OwnedGroupCounts CountOwnedGroups(ValList* owned, GroupDB* groups) {
    OwnedGroupCounts counts;
    for (ValListItem* gid = owned ? owned->head : nullptr; gid; gid = gid->next) {
        OwnedRecord record(groups->GetGroup(gid->value));
        if (!record) continue;  // a group that vanished meanwhile is neither
        if (record->shared == 1)
            ++counts.shared;
        else
            ++counts.priv;
    }
    return counts;
}

HTMLObject* EmptyCell() { return nullptr; }

// Focusing a number field of the search form chooses its radio button.
std::string ChooseOnFocus(int radio) {
    return std::string("document.forms[0].") + "selection" + "[" + std::to_string(radio) + "].checked = true";
}

}  // namespace

// ---------------------------------------------------------------------------
// User resource usage

Page* OperAdmin::GenResSearchCondPage() {
    try {
        auto page = std::make_unique<ZaPage>();
        page->SetHelpContext("Manage Resources");
        const bool fromSelector = Param("selector") != nullptr;
        OwnedList people;
        OwnedList groups;
        if (!fromSelector) {
            // A fresh search forgets what the selector collected before.
            people.reset(new ValList());
            groups.reset(new ValList());
            page->AddToList(new FormattedCookie("PersonSelectorCookie", people.get(), 0));
            page->AddToList(new FormattedCookie("GroupSelectorCookie", groups.get(), 0));
        } else {
            people.reset(request->FindFormattedCookie("PersonSelectorCookie"));
            groups.reset(request->FindFormattedCookie("GroupSelectorCookie"));
            TransferMembersFromGroups(people.get(), groups.get());
        }
        page->AddJSFunction("operadmin.js", "userResSearchSelector");
        page->AddJSFunction("operadmin.js", "validateUserResSearchCondFormSubmit");
        page->AddJSCloseChild();

        page->AppendToBody(new ZaImage("hresourceusage"));
        page->AppendToBody(NewBr());
        Url* action = ConsoleUrl("genResUsagePage");
        action->addAttribute("fromPage", kResultsSearch);
        HTMLObject* form = page->AppendToBody(new ZaForm("condform", action));

        form->addObject(new ZaHiddenInput("res_type", "users"));
        form->addObject(new B(Message("ManageResHdg")));
        form->addObject(NewBr());
        form->addObject(new ZaImage("susers"));
        form->addObject(NewBr());

        auto all = new ZaRadioButton("selection", "all_u", " All users");
        if (!fromSelector) all->MarkChecked();
        form->addObject(all);
        form->addObject(NewBr());

        form->addObject(new ZaRadioButton("selection", "top_u", " Top"));
        HTMLObject* top = form->addObject(new ZaTextInput("users", "", 6));
        top->addAttribute(ATTR_ONFOCUS, ChooseOnFocus(1).c_str());
        form->addObject(" users by disk space usage", ZaFalse);
        form->addObject(NewBr());

        form->addObject(new ZaRadioButton("selection", "gt_u", " Users using more than "));
        HTMLObject* bytes = form->addObject(new ZaTextInput("ubytes", "", 6));
        bytes->addAttribute(ATTR_ONFOCUS, ChooseOnFocus(2).c_str());
        form->addObject("bytes of disk space", ZaFalse);
        form->addObject(NewBr());

        form->addObject(new ZaRadioButton("selection", "deleted_u", " Disk space used by non-current users"));
        form->addObject(NewBr());

        auto selected = new ZaRadioButton("selection", "select_u", " Select users ");
        if (fromSelector || people->count > 0) selected->MarkChecked();
        form->addObject(selected);
        if (people->count > 0) {
            auto table = new ZaPersonGroupTable();
            form->addObject(table);
            table->AddCheckedPeople("oper_uid_val", people.get(), "Selected People", Users());
        }

        String back("../../admin/bin/operadmin.cgi?program=resSearchCondPage");
        back.PrepForURL();
        back.PrepForJS();
        std::string selector = std::string("javascript:userResSearchSelector('../../selector/bin/selector.cgi','") +
                               back.text + "')";
        form->addObject(new ZaImageButton("bselectpeople", selector.c_str(), "Add to list of Selected people"));
        form->addObject(NewBr());
        form->addObject(NewHr());
        form->addObject(new ZaImageButton("bstartsearch", "javascript:validateUserResSearchCondFormSubmit()",
                                          "Start search"));
        auto cancel = new ZaImageButton("bcancel", kHelpSummary, "Cancel");
        cancel->SetTarget("application_main");
        form->addObject(cancel);
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenResSearchCondPage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenResUsagePage() {
    try {
        const char* resType = Param("res_type");
        const char* selection = ParamText("selection");
        const char* fromPage = ParamText("fromPage");
        auto page = std::make_unique<ZaFrameSetPage>(ATTR_ROWS, "90, *");
        std::unique_ptr<Url> heading(ConsoleUrl("genResUsageHeading"));
        heading->addAttribute("res_type", resType ? resType : "");
        heading->addAttribute("selection", selection);
        heading->addAttribute("fromPage", fromPage);
        auto result = std::make_unique<Url>("operadmin.cgi");
        result->addAttribute("selection", selection);
        result->addAttribute("fromPage", fromPage);
        auto toBoth = [&](const char* name, const char* value) {
            heading->addAttribute(name, value);
            result->addAttribute(name, value);
        };
        if (Is(resType, "users")) {
            result->addAttribute("program", "genUserDiskUsage");
            if (Is(selection, "gt_u")) {
                toBoth("ubytes", ParamText("ubytes"));
            } else if (Is(selection, "top_u")) {
                toBoth("users", ParamText("users"));
            } else if (Is(selection, "select_u")) {
                OwnedList chosen(request->GetValList("oper_uid_val"));
                for (ValListItem* uid = chosen ? chosen->head : nullptr; uid; uid = uid->next)
                    toBoth("oper_uid_val", uid->value);
            }
        } else if (Is(resType, "groups")) {
            result->addAttribute("program", "genGroupDiskUsage");
            if (Is(selection, "gt_g")) toBoth("gbytes", ParamText("gbytes"));
            if (Is(selection, "top_g")) toBoth("groups", ParamText("groups"));
        } else {
            RaiseConsoleError(__LINE__, kSource, "Unknown restype vale for GenResUsagePage");
        }
        page->AddNewFrame(heading.release(), "usage_head_frame", ZaFalse);
        Frame* results = page->AddNewFrame(result.release(), "usage_result_frame", ZaTrue);
        results->ModifyAttribute(ATTR_BORDER, 1);
        ShowFrameBorders(page.get());
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenResUsagePage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenResUsageHeadingPage() {
    try {
        const char* resType = Param("res_type");
        const char* selection = Param("selection");
        std::string text;
        if (Is(resType, "users")) {
            if (Is(selection, "gt_u"))
                text = std::string("List of users using more than ") + ParamText("ubytes") + " bytes of disk space";
            else if (Is(selection, "top_u"))
                text = std::string("List of top ") + ParamText("users") + " users by disk usage";
            else if (Is(selection, "deleted_u"))
                text = "List of deleted users by disk usage ";
            else if (Is(selection, "select_u"))
                text = "List of selected users by disk usage ";
            else
                text = "Summary of disk usage by users";
        } else if (Is(resType, "groups")) {
            if (Is(selection, "gt_g"))
                text = std::string("List of groups using more than ") + ParamText("gbytes") + " bytes of disk space";
            else if (Is(selection, "top_g"))
                text = std::string("List of top ") + ParamText("groups") + " groups by disk usage";
            else
                text = "Summary of disk usage by groups";
        } else {
            RaiseConsoleError(__LINE__, kSource, "Unknown restype value for GenResUsageHeadingPage");
        }
        auto page = std::make_unique<ZaPage>();
        page->AppendToBody(new ZaImage("hresourceusage"));
        page->AppendToBody(new Center(Unlinked(new H3(text.c_str()))));
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenResUsageHeadingPage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenUserDiskUsagePage() {
    try {
        const char* selection = Param("selection");
        const bool above = Is(selection, "gt_u");
        const bool top = Is(selection, "top_u");
        const bool chosen = Is(selection, "select_u");
        const long threshold = ParamNumber("ubytes");
        const long wanted = ParamNumber("users");
        UserDB* users = Users();
        GroupDB* groups = Groups();

        OwnedNameList usage;
        try {
            if (chosen) {
                OwnedList ids(request->GetValList("oper_uid_val"));
                usage.reset(users->GetDiskUsageOf(ids.get()));
            } else if (Is(selection, "deleted_u")) {
                OwnedNameList accounts(users->GetAccountNames());
                OwnedNameList current(users->GetCurrentUsers());
                OwnedList ids(new ValList());
                for (ValNameListItem* item : NonCurrentAccounts(accounts.get(), current.get()))
                    ids->Append(item->name);
                usage.reset(users->GetDiskUsageOf(ids.get()));
            } else {
                usage.reset(users->GetAllDiskUsage());
            }
        } catch (ZaError* e) {
            e->AddLine(__LINE__, kSource, "Error in getting disk usage information!", ZaFalse);
            throw;
        }

        auto page = std::make_unique<ZaPage>();
        page->SetHelpContext("Manage Resources");
        auto table = std::make_unique<ZaStreamedTable>(7, ZaTrue, 4);
        for (const char* heading : {"User Name", "Disk Space (bytes)", "Groups belong to", "Shared Groups owned",
                                    "Private Groups owned", "People in Hotlist", "Groups in Hotlist"})
            table->addObject(new B(heading));

        // The counts of every row are gathered first, so that a store error
        // still ends the request before any of the page has gone out; the rows
        // themselves are made while the page is written.
        auto found = std::make_shared<std::vector<UsageRow>>();
        OwnedList mailList(new ValList());
        for (ValNameListItem* item = usage ? usage->head : nullptr; item; item = item->next) {
            if (top && static_cast<long>(found->size()) >= wanted) break;
            // The list is ordered by bytes, but every entry is examined.
            if (above && DecimalValue(item->extra1) < threshold) continue;
            char* uid = item->name;
            UsageRow row;
            row.name = item->value ? item->value : uid;
            row.bytes = item->extra1 ? item->extra1 : "";
            OwnedList memberOf(users->GetGroupsOfUser(uid));
            row.memberOf = CountOf(memberOf.get());
            OwnedList owned(groups->GetGroupsOwnedBy(uid, users));
            row.owned = CountOwnedGroups(owned.get(), groups);
            OwnedList hotPeople(users->GetHotlistPeople(uid));
            row.hotPeople = CountOf(hotPeople.get());
            OwnedList hotGroups(users->GetHotlistGroups(uid));
            row.hotGroups = CountOf(hotGroups.get());
            found->push_back(row);
            if (above || top || chosen) mailList->Append(uid);
        }
        const size_t rows = found->size();
        std::shared_ptr<ValNameList> texts(usage.release());  // the rows' names and bytes
        table->StreamEntries(rows, [found, texts](ZaTable* t, size_t i) {
            const UsageRow& row = (*found)[i];
            t->addObject(new ZaPersonLink(row.name));
            t->addObject(row.bytes, ZaFalse);
            t->addObject(row.memberOf);
            t->addObject(row.owned.shared);
            t->addObject(row.owned.priv);
            t->addObject(row.hotPeople);
            t->addObject(row.hotGroups);
        });

        if (rows == 0)
            page->AppendToBody(new B(kNoUsersFound));
        else
            page->AppendToBody(table.release());
        page->AppendToBody(NewHr());
        if (mailList->count > 0)
            page->AppendToBody(new ZaImageButton(new EmailUrl(mailList.get(), users), "bemail",
                                                 "Send email to users in the list"));
        page->AppendToBody(DoneButton(ConsoleUrl(kResultsSearch), "_parent"));
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenUserDiskUsagePage", ZaFalse);
        throw;
    }
}

// ---------------------------------------------------------------------------
// Non-current users and account clean-up

Page* OperAdmin::GenDeletedUsersPage() {
    try {
        UserDB* users = Users();
        OwnedNameList accounts(users->GetAccountNames());
        OwnedNameList current(users->GetCurrentUsers());

        auto page = std::make_unique<ZaPage>();
        page->SetHelpContext("Non-Current Users");
        page->AppendToBody(new ZaImage("hnoncurrentusers"));
        page->AppendToBody(NewBr());
        page->AppendToBody(new B(Message("UnCurrentUsersHdg")));
        page->AppendToBody(NewBr());
        page->AppendToBody(Message("UnCurrentUsersInfo1"));
        page->AppendToBody(NewBr());

        if (!accounts || accounts->count == 0) {
            page->AppendToBody(new H3("There are no non-current users"));
        } else {
            auto table = new ZaStreamedTable(3, ZaTrue, 4);
            page->AppendToBody(table);
            auto leavers = std::make_shared<std::vector<ValNameListItem*>>(
                NonCurrentAccounts(accounts.get(), current.get()));
            std::shared_ptr<ValNameList> names(accounts.release());  // the items listed
            table->StreamEntries(leavers->size(), [leavers, names](ZaTable* t, size_t i) {
                ValNameListItem* item = (*leavers)[i];
                Url* summary = ConsoleUrl("genUidResUsage");
                summary->addAttribute("uid", item->name);
                t->addObject(WithAddress(new ZaPersonLink(item->value ? item->value : item->name), summary,
                                         "View resource usage summary of this user"));
            });
        }
        page->AppendToBody(NewHr());
        page->AppendToBody(DoneButton(new Url(kHelpSummary), "application_main"));
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenDeletedUsersPage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenUidResUsagePage() {
    try {
        const char* uid = ParamText("uid");
        UserDB* users = Users();
        GroupDB* groups = Groups();
        const bool nonCurrent = users->IsNonCurrentUser(Arg(uid)) != ZaFalse;
        const long disk = users->GetDiskUsage(Arg(uid));
        OwnedList memberOf(users->GetGroupsOfUser(Arg(uid)));
        OwnedList hotPeople(users->GetHotlistPeople(Arg(uid)));
        OwnedList hotGroups(users->GetHotlistGroups(Arg(uid)));
        OwnedList owned(groups->GetGroupsOwnedBy(Arg(uid), users));

        auto page = std::make_unique<ZaPage>();
        page->SetHelpContext("Manage Resources");
        page->AddJSConfirm();
        if (nonCurrent) {
            page->AppendToBody(new ZaImage("hnoncurrentusers"));
            page->AppendToBody(NewBr());
        }
        page->AppendToBody(new B(Message("UidResUsageHdg")));
        AddBreaks(page->body, 2);
        if (nonCurrent) {
            page->AppendToBody(Message("UnCurrentUsersUidResInfo1"));
            AddBreaks(page->body, 2);
            page->AppendToBody(new B(Message("UserDelWarning1")));
            AddBreaks(page->body, 2);
            page->AppendToBody(new ZaImage("sresourceusagesummary"));
            page->AppendToBody(NewBr());
        }

        OwnedGroupCounts counts = CountOwnedGroups(owned.get(), groups);
        OwnedText name(DisplayName(uid));
        auto table = new ZaTable(3, ZaTrue, 4);
        page->AppendToBody(table);
        auto row = [table](const char* label, HTMLObject* value, HTMLObject* extra) {
            table->addObject(new B(label));
            table->addObject(value);
            table->addObject(extra);
        };
        auto number = [](long n) { return new HTMLObject(std::to_string(n).c_str()); };
        row("User Name", new ZaPersonLink(name.get()), EmptyCell());
        row("Disk Space (bytes)", number(disk), EmptyCell());
        row("Groups belong to", number(CountOf(memberOf.get())), EmptyCell());
        HTMLObject* changeOwner = nullptr;
        if (counts.shared > 0) {
            Url* handOver = ConsoleUrl("genGroupOwnedPage");
            handOver->addAttribute("uid", uid);
            changeOwner = new ZaImageButton(handOver, "bchangeowner", "Change the ownership of group");
        }
        row("Shared Groups owned", number(counts.shared), changeOwner);
        row("Private Groups owned", number(counts.priv), EmptyCell());
        row("People in Hotlist", number(CountOf(hotPeople.get())), EmptyCell());
        row("Groups in Hotlist", number(CountOf(hotGroups.get())), EmptyCell());

        page->AppendToBody(NewHr());
        if (nonCurrent) {
            std::string question;
            if (counts.shared > 0)
                question = "WARNING:This user is owner of shared groups.\\n"
                           "Removing the user, will delete the groups too !!.\\n";
            question += "Do you really want to remove this user?";
            Url* remove = ConsoleUrl("operOnUser");
            remove->addAttribute("operation", "remove");
            remove->addAttribute("uid", uid);
            ZaProtectUrl(this, remove, "operOnUser");
            page->AppendToBody(new ZaImageButton(new ConfirmUrl(question.c_str(), remove), "bremovedeletedusers",
                                                 "Remove this user and reclaim resources"));
            page->AppendToBody(DoneButton(ConsoleUrl("genDeletedUsersPage"), nullptr));
        } else {
            page->AppendToBody(DoneButton(new Url(kHelpSummary), nullptr));
        }
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenUidResUsagePage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenGroupOwnedPage(const char* uid) {
    try {
        const char* user = uid ? uid : ParamText("uid");
        UserDB* users = Users();
        GroupDB* groups = Groups();
        OwnedList owned(groups->GetGroupsOwnedBy(Arg(user), users));

        auto page = std::make_unique<ZaPage>();
        page->AppendToBody(new ZaImage("hnoncurrentusers"));
        page->AppendToBody(new B(Message("UnCurrentUsersGroupListHdg")));
        AddBreaks(page->body, 2);
        page->AppendToBody(Message("UnCurrentUsersGroupListInfo"));
        AddBreaks(page->body, 2);

        auto table = new ZaTable(3, ZaTrue, 4);
        page->AppendToBody(table);
        OwnedText name(DisplayName(user));
        table->addObject(new B("User Name"));
        table->addObject(new ZaPersonLink(name.get()));
        table->addObject(EmptyCell());
        table->addObject(new B("Groups Owned"));
        table->addObject(EmptyCell());
        table->addObject(EmptyCell());
        for (ValListItem* gid = owned ? owned->head : nullptr; gid; gid = gid->next) {
            OwnedRecord record(groups->GetGroup(gid->value));
            if (!record || record->shared == 0) continue;
            Url* summary = ConsoleUrl("genGroupResUsage");
            summary->addAttribute("uid", gid->value);
            summary->addAttribute("fromPage", "group_owned");
            Url* change = ConsoleUrl("operOnGroup");
            change->addAttribute("uid", gid->value);
            change->addAttribute("operation", "chgowner");
            change->addAttribute("fromPage", "group_owned");
            change->addAttribute("orig_owner", user);
            ZaProtectUrl(this, change, "operOnGroup");
            table->addObject(EmptyCell());
            table->addObject(WithAddress(new ZaGroupLink(record->groupName ? record->groupName : gid->value),
                                         summary, "View group information summary"));
            table->addObject(new ZaImageButton(change, "bchangeowner", "Change the ownership of group"));
        }
        page->AppendToBody(NewHr());
        Url* back = ConsoleUrl("genUidResUsage");
        back->addAttribute("uid", user);
        page->AppendToBody(DoneButton(back, nullptr));
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenGroupOwnedPage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::OperateOnUser() {
    try {
        const char* operation = Param("operation");
        if (!Is(operation, "remove")) RaiseConsoleError(__LINE__, kSource, "Unknown operation for OperateOnUser");
        const char* uid = ParamText("uid");
        // Only the accounts of people who have left the directory are cleaned up.
        if (*uid && Users()->IsNonCurrentUser(Arg(uid)) != ZaTrue) {
            ZaAudit(this, nullptr, "clean up account", uid, "refused: still in the directory");
            auto page = std::make_unique<ZaPage>();
            page->AppendToBody(new H3("This user is still in the directory, so the account was not cleaned up."));
            page->AppendToBody("Only the accounts of people who are no longer in the directory can be removed. "
                               "Nothing was changed.");
            page->AppendToBody(NewHr());
            page->AppendToBody(DoneButton(ConsoleUrl("genDeletedUsersPage"), nullptr));
            return page.release();
        }
        const bool cleaned = CleanUpUserAccount(uid, nullptr) == ZaTrue;
        ZaAudit(this, nullptr, "clean up account", uid, cleaned ? "ok" : "failed");
        if (cleaned) {
            Log(ZA_INFO, "Successfully cleaned up user account");
            return GenDeletedUsersPage();
        }
        // What went wrong is in the log; no page follows a failed clean-up.
        Log(ZA_ERROR, "Failed to clean up user account");
        return nullptr;
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::OperateOnUser", ZaFalse);
        throw;
    }
}

ZaBoolean OperAdmin::CleanUpUserAccount(const char* uid, const char* newOwner) {
    // A request without a user names no one: the store is not asked, since an
    // empty ID could match records that merely lack an owner or member.
    if (StringIsEmpty(uid) == ZaTrue) return ZaFalse;
    try {
        UserDB* users = Users();
        GroupDB* groups = Groups();
        OwnedText name(DisplayName(uid));
        const std::string suffix = std::string("group owned by the user ") + name.get();
        OwnedList owned(groups->GetGroupsOwnedBy(Arg(uid), users));
        for (ValListItem* gid = owned ? owned->head : nullptr; gid; gid = gid->next) {
            OwnedRecord record(groups->GetGroup(gid->value));
            if (!record) continue;  // gone already: nothing left to hand on or delete
            const std::string prefix = std::string(record->groupName ? record->groupName : gid->value) + "- ";
            if (record->shared == 1 && newOwner != nullptr) {
                if (groups->ChangeOwner(gid->value, Arg(newOwner), users) == ZaFalse) {
                    Log(ZA_ERROR, (prefix + "Failed to change owner of " + suffix).c_str());
                    return ZaFalse;
                }
                Log(ZA_INFO, (prefix + "Changed owner of " + suffix).c_str());
            } else {
                if (groups->DeleteGroup(gid->value, users, ZaTrue) == ZaFalse) {
                    Log(ZA_ERROR, (prefix + "Failed to delete\t\t\t\t" + suffix).c_str());
                    return ZaFalse;
                }
                Log(ZA_INFO, (prefix + "Deleted " + suffix).c_str());
            }
        }
        // Every membership is tried; a single one left behind makes the
        // clean-up count as failed, so that the operator looks at the log.
        ZaBoolean result = ZaTrue;
        OwnedList memberOf(users->GetGroupsOfUser(Arg(uid)));
        for (ValListItem* gid = memberOf ? memberOf->head : nullptr; gid; gid = gid->next) {
            if (groups->RemoveMember(gid->value, Arg(uid), users) == ZaFalse) {
                Log(ZA_ERROR, "Failed in removing member from the group");
                result = ZaFalse;
            }
        }
        users->DeleteAccount(Arg(uid));
        users->DeleteUserData(Arg(uid));
        return result;
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::CleanUpUserAccount", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenUid2NamePage() {
    const long kPageSize = 100;
    try {
        const long last = ParamNumber("last_count");
        UserDB* users = Users();
        auto page = std::make_unique<ZaPage>();
        page->SetHelpContext("View User IDs");
        page->AppendToBody(new ZaImage("hviewuserids"));

        OwnedNameList sorted;
        {
            OwnedNameList unsorted(users->GetCurrentUserNames());
            sorted.reset(unsorted ? unsorted->SortListByAscendingValue() : new ValNameList());
        }
        // The people of this page, then their logins in one pass over the accounts.
        std::vector<ValNameListItem*> shown;
        long count = 0;
        long nextStart = -1;
        for (ValNameListItem* item = sorted->head; item; item = item->next) {
            ++count;
            if (count <= last) continue;
            shown.push_back(item);
            if (count % kPageSize == 0) {
                nextStart = count;
                break;
            }
        }
        std::unordered_map<std::string, std::string> logins;
        for (ValNameListItem* item : shown) logins[CaseKey(item->name)];
        OwnedNameList accounts(users->GetAccountLogins());
        for (ValNameListItem* item = accounts ? accounts->head : nullptr; item; item = item->next) {
            auto found = logins.find(CaseKey(item->name));
            if (found != logins.end() && found->second.empty() && item->value) found->second = item->value;
        }

        if (sorted->count > 0) {
            auto table = new ZaTable(3, ZaTrue, 4);
            page->AppendToBody(table);
            for (const char* heading : {"User Name", "User ID", "Login Name"}) table->addObject(new B(heading));
            for (ValNameListItem* item : shown) {
                const std::string& login = logins[CaseKey(item->name)];
                table->addObject(new ZaPersonLink(item->value ? item->value : item->name));
                table->addObject(item->name ? item->name : "", ZaFalse);
                table->addObject(login.empty() ? "----" : login.c_str(), ZaFalse);
            }
        } else {
            page->AppendToBody(new B("There are no current users"));
        }
        page->AppendToBody(NewHr());
        page->AppendToBody(DoneButton(new Url(kHelpSummary), "application_main"));
        if (nextStart > 0) {
            Url* next = ConsoleUrl("genUid2NamePage");
            next->addAttribute("last_count", std::to_string(nextStart).c_str());
            page->AppendToBody(new ZaImageButton(next, "bnext", "Click here to see upto next 100 in the list"));
        }
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenUid2NamePage", ZaFalse);
        throw;
    }
}

// ---------------------------------------------------------------------------
// Account creation

Page* OperAdmin::GenCreateNewAccount(const char* message) {
    auto page = std::make_unique<ZaPage>();
    page->AddJSSubmitForm();
    page->SetHelpContext("Create New Account");
    page->AppendToBody(new ZaImage("hcreatenewaccount"));
    page->AppendToBody(NewBr());
    if (message) {
        page->AppendToBody(Unlinked(new H3(message)));
        page->AppendToBody(NewBr());
    }
    page->AppendToBody(new B(Message("NewAcctHdg")));
    page->AppendToBody(NewBr());
    page->AppendToBody(Message("NewAcctInfo1"));
    page->AppendToBody(NewBr());
    page->AppendToBody(Message("NewAcctInfo2"));
    page->AppendToBody(NewBr());

    HTMLObject* form = page->AppendToBody(new ZaForm(
        "createform", ZaProtectUrl(this, ConsoleUrl("createNewAccountProcess"), "createNewAccountProcess")));
    page->AddFormFocusTo("createform", "uid");
    auto table = new ZaTable(2, ZaTrue, 4);
    form->addObject(table);
    table->AddHH(new B("User ID"), new ZaTextInput("uid", "", 20));
    table->AddHH(new B("Username"), new ZaTextInput("login", "", 20));
    table->AddHH(new B("Password"), new ZaPasswordInput("password1", 20));
    table->AddHH(new B("Retype Password"), new ZaPasswordInput("password2", 20));
    page->AppendToBody(NewHr());
    page->AppendToBody(new ZaImageButton(new SubmitFormUrl(), "bsave", "Create account for this user"));
    return page.release();
}

Page* OperAdmin::ProcessAccountSetup() {
    try {
        const char* uid = Param("uid");
        const char* login = Param("login");
        const char* password1 = ParamText("password1");
        const char* password2 = ParamText("password2");
        auto refuse = [&](const char* logText, const char* pageText) {
            Log(ZA_WARNING, (std::string(logText) + "\t\t\t\t" + "New account setup failed!").c_str());
            ZaAudit(this, nullptr, "create account", uid, (std::string("failed: ") + logText).c_str());
            return GenCreateNewAccount(pageText);
        };
        if (StringIsEmpty(uid) == ZaTrue) return refuse("No User ID entered.", "Please enter a valid User ID");
        if (StringIsEmpty(login) == ZaTrue)
            return refuse("Invalid username entered.", "Please enter a valid username");
        UserDB* users = Users();
        if (users->UserExists(Arg(uid)) == ZaFalse)
            return refuse("Invalid User ID entered.",
                          "The User ID you entered does not exist or is incorrect, please try again");
        if (users->AccountExists(Arg(uid)) != ZaFalse)
            return refuse("An account already exists for the given User ID.",
                          "Sorry, an account already exists for this User ID.");
        if (users->LoginTaken(Arg(login)) == ZaTrue)
            return refuse("The username specified is already taken.",
                          "The username you have chosen is already taken, please choose another one");
        if (strcmp(password1, password2) != 0)
            return refuse("The passwords specified did not match.",
                          "The passwords you entered did not match, please try again");
        const long shortest = DecimalValue(Config()->ReadValue(kMinPasswordLengthSetting));
        if (static_cast<long>(strlen(password1)) < shortest) {
            const std::string needed = "The password must have at least " + std::to_string(shortest) + " characters";
            return refuse("The password specified was too short.", needed.c_str());
        }
        if (users->CreateAccount(Arg(uid), Arg(login)) != ZaTrue)
            return refuse("The store refused the new account.", "The account could not be created, please try again");
        if (users->SetPassword(Arg(uid), Arg(password1)) != ZaTrue) {
            // An account without its password would let nobody in; it goes again.
            users->DeleteAccount(Arg(uid));
            return refuse("The store refused the password.", "The account could not be created, please try again");
        }
        const std::string done = std::string("New account for User ID \"") + uid + "\" with login \"" + login +
                                 "\" successfully set up.";
        Log(ZA_INFO, done.c_str());
        ZaAudit(this, nullptr, "create account", (std::string(uid) + " login " + login).c_str(), "ok");
        return GenCreateNewAccount(done.c_str());
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Exception rethrown in OperAdmin::ProcessAccountSetup", ZaFalse);
        throw;
    }
}
