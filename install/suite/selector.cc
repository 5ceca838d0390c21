// selector.cgi: the pop-up in which an operator picks people and groups for a
// search form of the console. The opener passes its own address as
// return_url (and selector_mode=single when one person is wanted). The
// operator searches people by name or user ID and groups by name, a page of
// at most 50 at a time, ticks any number, and presses OK. The picks go into
// the formatted cookies that the console's search forms read
// (PersonSelectorCookie and GroupSelectorCookie, or OnePersonSelectorCookie
// for a single person), and the opener is sent back to its form with
// `selector` set. Until OK the picks travel in the form itself, so nothing is
// kept between requests. Administrators only, like the console.
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "Classes.h"
#include "groupDB.h"
#include "reqinfo.h"
#include "string_class.h"
#include "userDB.h"
#include "vallist.h"
#include "zaforms.h"
#include "zapages.h"
#include "zarvoadmin.h"
#include "zasession.h"
#include "zatables.h"

namespace {

const char kSource[] = "install/suite/selector";
const long kPageSize = 50;
const char kPeopleCookie[] = "PersonSelectorCookie";
const char kGroupsCookie[] = "GroupSelectorCookie";
const char kOnePersonCookie[] = "OnePersonSelectorCookie";
const char kConsole[] = "../../admin/bin/operadmin.cgi?program=";
// The action whose token OK carries: handing the picks to the console.
const char kHandBack[] = "selectorHandBack";

struct FreeText {
    void operator()(char* text) const { free(text); }
};
typedef std::unique_ptr<char, FreeText> OwnedText;
typedef std::unique_ptr<ValList> OwnedList;
typedef std::unique_ptr<ValNameList> OwnedNameList;

char* Arg(const char* text) { return const_cast<char*>(text); }

// A person or group that matched the search: ID and display text.
struct Entry {
    const char* id;
    const char* name;
};

bool Contains(const char* text, const char* part) { return text && strcasestr(text, part) != nullptr; }

// The matches of a store list (ID to name), by name and then ID, ignoring case.
std::vector<Entry> Matches(ValNameList* list, const char* query, bool matchIds) {
    std::vector<Entry> found;
    for (ValNameListItem* item = list ? list->head : nullptr; item; item = item->next) {
        if (!item->name) continue;
        if (*query && !Contains(item->value, query) && !(matchIds && Contains(item->name, query))) continue;
        found.push_back({item->name, item->value ? item->value : item->name});
    }
    std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
        int byName = strcasecmp(a.name, b.name);
        return byName != 0 ? byName < 0 : strcasecmp(a.id, b.id) < 0;
    });
    return found;
}

// Where OK sends the opener: the console's own page that opened the picker,
// given as "../../admin/bin/operadmin.cgi?program=EVENT". Anything else is
// replaced by the console's form for the mode, so that the address can never
// lead to another site or run script.
std::string ReturnAddress(const char* given, bool single) {
    std::string address = given ? given : "";
    const size_t prefix = strlen(kConsole);
    bool valid = address.size() > prefix && address.compare(0, prefix, kConsole) == 0;
    for (size_t i = prefix; valid && i < address.size(); ++i)
        valid = isalnum(static_cast<unsigned char>(address[i])) || address[i] == '_';
    if (!valid) address = std::string(kConsole) + (single ? "groupResSearchCondPage" : "resSearchCondPage");
    return address + "&selector=TRUE";
}

class SelectorApp : public ZarvoAdminApp {
public:
    SelectorApp() : ZarvoAdminApp("Selector", "selector.cgi", nullptr) {}
};

class Selector : public ZarvoAdminCommon {
public:
    Selector(RequestInfo* request, SelectorApp* application) : ZarvoAdminCommon(request, application, ZaTrue) {}

    Page* HandleEvent(const char* program) override {
        if (program && *program) return ZarvoAdminCommon::HandleEvent(program);
        try {
            ReadPicks();
            if (Is(Param("go"), "ok")) {
                if (Page* refused = ZaRefuseForgedAction(this, kHandBack)) return refused;
                return HandBackPage();
            }
            return PickerPage();
        } catch (ZaError* e) {
            e->AddLine(__LINE__, kSource, "Error in Selector::HandleEvent", ZaFalse);
            throw;
        }
    }

private:
    bool single = false;
    bool groups = false;  // the groups tab is showing
    OwnedList people;
    OwnedList groupIds;

    const char* Param(const char* name) { return request->FindVar(name); }
    static bool Is(const char* value, const char* expected) { return value && strcasecmp(value, expected) == 0; }

    // The picks so far: those the form carried (ticked in the picked list or
    // in the results), or, when the picker has just opened, what the
    // console's cookies already hold.
    void ReadPicks() {
        single = Is(Param("selector_mode"), "single");
        // The tab buttons switch; otherwise the form says which tab it showed.
        const char* go = Param("go");
        groups = !single && (Is(go, "groups") || (!Is(go, "people") && Is(Param("kind"), "groups")));
        const bool opened = go == nullptr;
        people.reset(new ValList());
        groupIds.reset(new ValList());
        if (opened) {
            if (single) return;
            OwnedList fromCookie(request->FindFormattedCookie(kPeopleCookie));
            Add(people.get(), fromCookie.get());
            fromCookie.reset(request->FindFormattedCookie(kGroupsCookie));
            Add(groupIds.get(), fromCookie.get());
            return;
        }
        OwnedList ticked(request->GetValList("tick_u"));
        OwnedList kept(request->GetValList("picked_u"));
        if (single) {
            // One person: a new tick replaces the earlier pick.
            ValList* choice = ticked && ticked->count > 0 ? ticked.get() : kept.get();
            if (choice && choice->head && choice->head->value) people->Append(choice->head->value);
            return;
        }
        Add(people.get(), kept.get());
        Add(people.get(), ticked.get());
        kept.reset(request->GetValList("picked_g"));
        ticked.reset(request->GetValList("tick_g"));
        Add(groupIds.get(), kept.get());
        Add(groupIds.get(), ticked.get());
    }

    static void Add(ValList* to, ValList* from) {
        for (ValListItem* item = from ? from->head : nullptr; item; item = item->next)
            if (item->value && *item->value) to->AppendWithDupCheck(item->value);
    }

    // The answer to OK: the cookies, and a script that sends the opener
    // back to its form and closes the pop-up.
    Page* HandBackPage() {
        auto page = std::make_unique<ZaPage>();
        if (single) {
            page->AddToList(new FormattedCookie(kOnePersonCookie, people.get(), 0));
        } else {
            page->AddToList(new FormattedCookie(kPeopleCookie, people.get(), 0));
            page->AddToList(new FormattedCookie(kGroupsCookie, groupIds.get(), 0));
        }
        String address(ReturnAddress(Param("return_url"), single).c_str());
        String forScript(address.text);
        forScript.PrepForJS();
        page->CheckScript();
        page->script->addObject((std::string("function handBack() {\n"
                                             "  if (window.opener && !window.opener.closed) {\n"
                                             "    window.opener.location.href = '") +
                                 forScript.text + "';\n    window.close();\n  }\n}").c_str(),
                                ZaFalse);
        page->OnLoad("handBack()");
        page->AppendToBody(new H3("Your choice has been handed to the console."));
        A* back = new A("Back to the search form");
        back->addAttribute(ATTR_HREF, address.text);
        page->AppendToBody(back);
        return page.release();
    }

    Page* PickerPage() {
        auto page = std::make_unique<ZaPage>();
        page->head->addObject(new Title(single ? "Select a User" : "Select People and Groups"));
        page->AddJSSelectorQuit();
        page->AddJSSelectorWindowClose();
        page->AppendToBody(new H3(single ? "Select a User" : "Select People and Groups"));

        ZaForm* form = new ZaForm("selectform", "selector.cgi");
        page->AppendToBody(form);
        page->AddFormFocusTo("selectform", "q");
        if (single) form->addObject(new ZaHiddenInput("selector_mode", "single"));
        const char* returnUrl = Param("return_url");
        if (returnUrl) form->addObject(new ZaHiddenInput("return_url", returnUrl));
        form->addObject(new ZaHiddenInput("kind", groups ? "groups" : "people"));
        OwnedText token(ZaActionToken(this, kHandBack));
        if (token) form->addObject(new ZaHiddenInput(kTokenParam, token.get()));
        if (!single) {
            form->addObject(new ZaSubmitButton("go", "People"));
            form->addObject(new ZaSubmitButton("go", "Groups"));
            form->addObject(new Br(""));
        }

        const char* query = Param("q");
        if (!query || Is(Param("go"), "people") || Is(Param("go"), "groups")) query = "";
        form->addObject(new B(groups ? "Group name contains " : "Name or user ID contains "));
        form->addObject(new ZaTextInput("q", query, 20));
        form->addObject(new ZaSubmitButton("go", "Search"));
        form->addObject(new Br(""));
        AddResults(form, query);
        form->addObject(new Hr(""));
        AddPicked(form);
        form->addObject(new Hr(""));
        form->addObject(new ZaSubmitButton("go", "OK"));
        ZaInput* cancel = new ZaInput("cancel", "Cancel", "button");
        cancel->addAttribute(ATTR_ONCLICK, "SelectorQuit()");
        form->addObject(cancel);
        return page.release();
    }

    // One page of matches with a tick box (a radio button for one person),
    // and the buttons to the pages before and after it.
    void AddResults(HTMLObject* form, const char* query) {
        OwnedNameList all(groups ? application->GetGroupDB()->GetAllGroups()
                                 : application->GetUserDB()->GetCurrentUserNames());
        std::vector<Entry> found = Matches(all.get(), query, !groups);
        const long total = static_cast<long>(found.size());
        // A new search, or a switch of tab, starts at the first page.
        long start = 0;
        if (Is(Param("go"), "next 50")) start = atol(Param("start") ? Param("start") : "0") + kPageSize;
        if (Is(Param("go"), "previous 50")) start = atol(Param("start") ? Param("start") : "0") - kPageSize;
        start = std::max(0L, std::min(start, (total - 1) / kPageSize * kPageSize));
        form->addObject(new ZaHiddenInput("start", static_cast<int>(start)));

        if (total == 0) {
            form->addObject(new B(groups ? "No groups were found." : "No people were found."));
            form->addObject(new Br(""));
            return;
        }
        ValList* picked = groups ? groupIds.get() : people.get();
        ZaTable* table = new ZaTable(3, ZaTrue, 2);
        form->addObject(table);
        table->addObject(new B("Pick"));
        table->addObject(new B(groups ? "Group Name" : "Name"));
        table->addObject(new B(groups ? "Group ID" : "User ID"));
        const long end = std::min(total, start + kPageSize);
        for (long i = start; i < end; ++i) {
            const Entry& entry = found[i];
            const char* box = groups ? "tick_g" : "tick_u";
            ZaInput* tick = single ? static_cast<ZaInput*>(new ZaRadioButton(box, entry.id))
                                   : static_cast<ZaInput*>(new ZaCheckBox(box, entry.id));
            if (picked->Lookup(entry.id)) {
                // Already picked: the picked list below carries it.
                tick->addAttribute(ATTR_CHECKED, "true");
                tick->addAttribute("disabled", "disabled");
            }
            table->addObject(tick);
            table->addObject(entry.name, ZaFalse);
            table->addObject(entry.id, ZaFalse);
        }
        form->addObject((std::to_string(start + 1) + " to " + std::to_string(end) + " of " +
                         std::to_string(total) + " ").c_str(), ZaFalse);
        if (start > 0) form->addObject(new ZaSubmitButton("go", "Previous 50"));
        if (end < total) form->addObject(new ZaSubmitButton("go", "Next 50"));
        form->addObject(new Br(""));
    }

    // What is picked so far, each ticked; untick to leave one out.
    void AddPicked(HTMLObject* form) {
        form->addObject(new B(single ? "Picked user" : "Picked so far (untick to leave out)"));
        ZaTable* table = new ZaTable(2, ZaTrue, 2);
        int rows = 0;
        for (ValListItem* item = people->head; item; item = item->next, ++rows) {
            ZaCheckBox* keep = new ZaCheckBox("picked_u", item->value);
            keep->MarkChecked();
            OwnedText name(application->GetUserDB()->GetUserName(Arg(item->value)));
            table->addObject(keep);
            table->addObject((std::string(name ? name.get() : item->value) + " (" + item->value + ")").c_str(),
                             ZaFalse);
        }
        for (ValListItem* item = groupIds->head; item; item = item->next, ++rows) {
            ZaCheckBox* keep = new ZaCheckBox("picked_g", item->value);
            keep->MarkChecked();
            OwnedText name(application->GetGroupDB()->GetGroupName(Arg(item->value)));
            table->addObject(keep);
            table->addObject((std::string("Group ") + (name ? name.get() : item->value)).c_str(), ZaFalse);
        }
        if (rows == 0) {
            delete table;
            form->addObject(new Br(""));
            form->addObject("Nothing yet.", ZaFalse);
            form->addObject(new Br(""));
            return;
        }
        form->addObject(table);
    }
};

// The single application object, kept for the process.
SelectorApp* theApp = nullptr;

}  // namespace

ZarvoBaseCommon* GetRequestObject(RequestInfo* request) {
    if (!theApp) theApp = new SelectorApp();
    return new (std::nothrow) Selector(request, theApp);
}
