// The console's entry into the framework: the application and request
// objects, the event dispatcher, the front frame set, the side navigation bar
// and the manage-users frame set with its tab bar; and the small building
// blocks that every console page shares (consolepage.h).
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "consolepage.h"
#include "groupDB.h"
#include "operadmin.h"
#include "reqinfo.h"
#include "stringutil.h"
#include "userDB.h"
#include "zaconfigDB.h"
#include "zadocument.h"
#include "zalog.h"
#include "zarvoclasses.h"
#include "zasession.h"

namespace {

const char kSource[] = "operadmin/src/main";
const int kStoreUnreachable = 3;

// The single application object; created on first use, kept for the process.
OperAdminApp* theApp = nullptr;

typedef Page* (*EventHandler)(OperAdmin*);

struct ConsoleEvent {
    const char* name;
    EventHandler handler;
    // For an event that changes anything: the event of the page that offers
    // it. Such an event needs the session's token; one that arrives with a
    // login instead lands on this page.
    const char* offeredBy = nullptr;
};

// Compared in this order, ignoring case; the first match wins.
const ConsoleEvent kEvents[] = {
    {"front", [](OperAdmin* c) { return c->GenOperAdminPage(); }},
    {"navbar", [](OperAdmin* c) { return c->GenOperAdminNavbarPage(); }},
    {"genManageUsersPage", [](OperAdmin* c) { return c->GenManageUsersPage(); }},
    {"genManagerUsersNavbar", [](OperAdmin* c) { return c->GenManageUsersNavbarPage(); }},
    {"resSearchCondPage", [](OperAdmin* c) { return c->GenResSearchCondPage(); }},
    {"genResUsagePage", [](OperAdmin* c) { return c->GenResUsagePage(); }},
    {"genResUsageHeading", [](OperAdmin* c) { return c->GenResUsageHeadingPage(); }},
    {"genUserDiskUsage", [](OperAdmin* c) { return c->GenUserDiskUsagePage(); }},
    {"genUidResUsage", [](OperAdmin* c) { return c->GenUidResUsagePage(); }},
    {"groupResSearchCondPage", [](OperAdmin* c) { return c->GenGroupResSearchCondPage(); }},
    {"genGroupDiskUsage", [](OperAdmin* c) { return c->GenGroupDiskUsagePage(); }},
    {"genGroupResUsage", [](OperAdmin* c) { return c->GenGidResUsagePage(nullptr, nullptr); }},
    {"genGroupOwnedPage", [](OperAdmin* c) { return c->GenGroupOwnedPage(nullptr); }},
    {"operOnGroup", [](OperAdmin* c) { return c->OperateOnGroup(); }, "genGroupResUsage"},
    {"genViewLogFileSplitPage", [](OperAdmin* c) { return c->GenViewLogFileSplitPage(); }},
    {"genViewLogFileChoicePage", [](OperAdmin* c) { return c->GenViewLogFileChoicePage(); }},
    {"genViewLogFileStartMsgPage", [](OperAdmin* c) { return c->GenViewLogFileStartMsgPage(); }},
    {"genViewLogFilePage", [](OperAdmin* c) { return c->GenViewLogFilePage(); }},
    {"genLogFileOperPage", [](OperAdmin* c) { return c->GenLogFileOperPage(); }},
    {"operOnLogFile", [](OperAdmin* c) { return c->OperateOnLogFile(); }, "genLogFileOperPage"},
    {"genDeletedUsersPage", [](OperAdmin* c) { return c->GenDeletedUsersPage(); }},
    {"operOnUser", [](OperAdmin* c) { return c->OperateOnUser(); }, "genUidResUsage"},
    {"genUid2NamePage", [](OperAdmin* c) { return c->GenUid2NamePage(); }},
    {"createNewAccount", [](OperAdmin* c) { return c->GenCreateNewAccount(nullptr); }},
    {"createNewAccountProcess", [](OperAdmin* c) { return c->ProcessAccountSetup(); }, "createNewAccount"},
};

}  // namespace

ZarvoBaseCommon* GetRequestObject(RequestInfo* request) {
    if (!theApp) {
        try {
            theApp = new OperAdminApp(nullptr);
        } catch (ZaError* e) {
            e->AddLine(__LINE__, kSource, "Error rethrown", ZaFalse);
            throw;
        }
    }
    return new (std::nothrow) OperAdmin(request, theApp);
}

OperAdminApp::OperAdminApp(const char* localMessagesFile)
    : ZarvoAdminApp("OperAdmin", "operadmin.cgi", localMessagesFile) {}

// The log gathers the request's lines and appends them when the request ends.
OperAdmin::OperAdmin(RequestInfo* request, OperAdminApp* application)
    : ZarvoAdminCommon(request, application, ZaTrue), operAdminApp(application) {}

OperAdmin::~OperAdmin() = default;

Page* OperAdmin::HandleEvent(const char*) {
    // Read again from the request, so that an absent event means the front page.
    const char* program = Param("program");
    if (!program) program = "front";
    try {
        for (const ConsoleEvent& event : kEvents) {
            if (strcasecmp(program, event.name) != 0) continue;
            if (event.offeredBy) {
                // A login form that carried the action does not perform it: the
                // operator sees the page that offers it, with a fresh token.
                if (ZaSignedSessions(this) && Param("login") && Param("password")) {
                    for (const ConsoleEvent& offering : kEvents)
                        if (strcmp(offering.name, event.offeredBy) == 0) return offering.handler(this);
                }
                if (Page* refused = ZaRefuseForgedAction(this, event.name)) return refused;
            }
            return event.handler(this);
        }
        return ZarvoAdminCommon::HandleEvent(program);
    } catch (ZaError* e) {
        if (e->level != kStoreUnreachable) {
            e->AddLine(__LINE__, kSource, "Failed in OperAdmin HandleEvent.", ZaFalse);
            throw;
        }
        std::unique_ptr<ZaError> error(e);
        return GenDBSetupErrorPage("Could not connect to database.", &error->userMessages);
    }
}

Page* OperAdmin::GenOperAdminPage() {
    try {
        auto page = std::make_unique<ZaAppFrameSet>(style->lowerFrame);
        // The side bar's logout link targets "_top"; browsers run a
        // "javascript:" link in the window it targets, so the frame set
        // itself must know the confirmation function.
        page->AddJSConfirm();
        page->AddNewFrame(ConsoleUrl("navbar"), "application_navbar", ZaTrue);
        page->AddNewFrame(new Url(kHelpSummary), "application_main", ZaTrue);
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in AdminConsole::GenOperAdminPage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenOperAdminNavbarPage() {
    try {
        auto page = std::make_unique<ZaAppNavbar>(style->lowerPage);
        page->AddJSHelpFunctions();
        auto button = [](const char* gif, const char* text, HTMLObject* link, const char* target) {
            auto b = new ZaImageButton(link, gif, text);
            if (target) b->SetTarget(target);
            return b;
        };
        page->AddElement(button("side_manageusers", "Monitor resource usage", ConsoleUrl("genManageUsersPage"),
                                "application_main"));
        page->AddElement(button("side_managegroups", "Perform Group management",
                                ConsoleUrl("groupResSearchCondPage"), "application_main"));
        Url* facilities = new Url("roomadmin.cgi");
        facilities->addAttribute("program", "roomOperFront");
        page->AddElement(button("side_managefacilities", "Perform facilities resource management", facilities,
                                "application_main"));
        page->AddElement(button("side_managelog", "Perform log file management",
                                ConsoleUrl("genViewLogFileSplitPage"), "application_main"));
        page->AddElement(
            button("side_help", "View Online Help", new HelpUrl("../../common/help/admin_help.htm"), nullptr));
        page->AddElementToTable(button("side_babout", "Product Information and Feedback",
                                       ConsoleUrl("app_common_prog_help_top"), "application_main"));
        // An operator whom the web server authenticated cannot log out here.
        if (IsNetscapeLogin() != ZaTrue) {
            Url* logout = new Url("admin.cgi");
            logout->addAttribute("program", "app_common_prog_logout");
            ZaProtectUrl(this, logout, "app_common_prog_logout");
            // The confirmation link calls MyConfirm, which the page must carry.
            page->AddJSConfirm();
            page->AddElementToTable(button("side_blogout", "Logout",
                                           new ConfirmUrl("Do you really want to logout ?", logout), "_top"));
        }
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in AdminConsole::GenOperAdminNavbarPage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenManageUsersPage() {
    auto page = std::make_unique<ZaFrameSetPage>(ATTR_ROWS, "35,*");
    page->AddNewFrameNoSpace(ConsoleUrl("genManagerUsersNavbar"), "manage_users_navbar_frame", ZaFalse);
    page->AddNewFrame(ConsoleUrl("genUid2NamePage"), "manage_users_frame", ZaTrue);
    return page.release();
}

Page* OperAdmin::GenManageUsersNavbarPage() {
    auto page = std::make_unique<ZaPage>(style->mainPage);
    auto tab = [&page](const char* gif, const char* text, const char* program) {
        auto b = new ZaImageButton(ConsoleUrl(program), gif, text);
        b->SetTarget("manage_users_frame");
        page->AppendToBody(b);
    };
    const ZaDBFormat format = Config()->DBFormat(ZA_EMP_DIR_DB);
    tab("fviewuserids", "View a list of User IDs", "genUid2NamePage");
    if (format == ZA_ZARVO) {
        tab("fnoncurrentusers", "Perform non-current users management", "genDeletedUsersPage");
        tab("fresourceusage", "Monitor resource usage", "resSearchCondPage");
    }
    if (format != ZA_LDAP) tab("fnewaccount", "Create New Account", "createNewAccount");
    return page.release();
}

// ---------------------------------------------------------------------------
// Helpers shared by the console's pages

const char* OperAdmin::Param(const char* name) { return request->FindVar(name); }

const char* OperAdmin::ParamText(const char* name) {
    const char* value = Param(name);
    return value ? value : "";
}

long OperAdmin::ParamNumber(const char* name) { return DecimalValue(Param(name)); }

UserDB* OperAdmin::Users() { return application->GetUserDB(); }

GroupDB* OperAdmin::Groups() { return application->GetGroupDB(); }

ZaConfigDB* OperAdmin::Config() { return application->GetConfigDB(); }

bool OperAdmin::FlatFileStore() { return Config()->DBFormat(ZA_EMP_DIR_DB) == ZA_ZARVO; }

const char* OperAdmin::Message(const char* key) { return application->GetMessage(key); }

void OperAdmin::Log(int level, const char* text) { log->AddMsg(static_cast<ZaLogLevel>(level), text); }

char* OperAdmin::DisplayName(const char* uid) {
    char* name = uid ? Users()->GetUserName(Arg(uid)) : nullptr;
    return name ? name : strdup(uid ? uid : "");
}

void RecordDeleter::operator()(ZaGroupRecord* record) const { delete record; }

void DocumentsDeleter::operator()(ZaDocumentObjList* documents) const { delete documents; }

Url* ConsoleUrl(const char* program) {
    Url* url = new Url("operadmin.cgi");
    url->addAttribute("program", program);
    return url;
}

bool Is(const char* value, const char* expected) { return value && strcasecmp(value, expected) == 0; }

std::string CaseKey(const char* id) {
    std::string key = id ? id : "";
    StringToLower(key.data());
    return key;
}

long DecimalValue(const char* text) { return text ? strtol(text, nullptr, 10) : 0; }

Br* NewBr() { return new Br(static_cast<const char*>(nullptr)); }

Hr* NewHr() { return new Hr(static_cast<const char*>(nullptr)); }

void AddBreaks(HTMLObject* parent, int count) {
    for (int i = 0; i < count; ++i) parent->addObject(NewBr());
}

HTMLObject* DoneButton(HTMLObject* link, const char* target) {
    auto button = new ZaImageButton(link, kDoneGif, kDoneText);
    if (target) button->SetTarget(target);
    return button;
}

int CountOf(ValList* list) { return list ? list->count : 0; }

void RaiseConsoleError(int line, const char* source, const char* message) {
    ZaError* error = new ZaError();
    error->AddLine(line, source, message, ZaFalse);
    throw error;
}

A* WithAddress(A* link, Url* address, const char* message) {
    link->addAttribute(ATTR_HREF, address);
    link->addStatusMessage(message);
    if (link->child) link->child->addAttribute(ATTR_ALT, message);
    return link;
}

void ShowFrameBorders(ZaFrameSetPage* page) {
    page->frameset->ModifyAttribute(ATTR_BORDER, 1);
    page->frameset->ModifyAttribute(ATTR_FRAMEBORDER, 1);
    page->frameset->ModifyAttribute(ATTR_FRAMESPACING, 1);
}
