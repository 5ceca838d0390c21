// The administration layer: administrator-only login, the fixed style, the
// help navigation bar, and the pages for a directory store that is not set up.
#include "zarvoadmin.h"

#include <strings.h>

#include <cstring>
#include <memory>

#include "loginrules.h"
#include "reqinfo.h"
#include "vallist.h"
#include "zaconfigDB.h"
#include "zarvoclasses.h"

namespace {

const char kSampleRootDN[] = "cn=Directory Manager, o=Company, c=US";
const char kSampleSearchBase[] = "o=Company, c=US";

// A fixed value shown in bold and sent along in a hidden field.
HTMLObject* FixedValue(const char* field, const char* value) {
    HTMLObject* shown = new HTMLObject();
    shown->addObject(new B(value));
    shown->addObject(new ZaHiddenInput(field, value));
    return shown;
}

void AppendMessages(ZaPage* page, ValList* messages) {
    for (ValListItem* item = messages ? messages->head : nullptr; item; item = item->next) {
        page->AppendToBody(new B(item->value ? item->value : ""));
        page->AppendToBody(new Br(""));
    }
}

}  // namespace

ZarvoAdminApp::ZarvoAdminApp(const char* name, const char* program, const char* localMessagesFile)
    : ZarvoBaseApp(name, program, kAdminMessagesFile, localMessagesFile) {}

ZarvoAdminCommon::ZarvoAdminCommon(RequestInfo* request, ZarvoAdminApp* application,
                                   ZaBoolean bufferedLog)
    : ZarvoBaseCommon(request, application, bufferedLog) {}

ZarvoAdminCommon::~ZarvoAdminCommon() = default;

void ZarvoAdminCommon::Initialize() { SetStyle("style0"); }

ZaBoolean ZarvoAdminCommon::IsLoggedIn() {
    if (ZarvoBaseCommon::IsLoggedIn() != ZaTrue) return ZaFalse;
    const char* webmaster = request->FindCookie(kWebmasterCookie);
    return (webmaster && strcmp(webmaster, "TRUE") == 0) ? ZaTrue : ZaFalse;
}

Page* ZarvoAdminCommon::UserAuthenticateAndLogin() {
    return ZaAuthenticateAndLogIn(this, {/*storeMustBeSetUp=*/false, /*administratorsOnly=*/true,
                                         /*personalStyle=*/false});
}

Page* ZarvoAdminCommon::HandleEvent(const char* program) {
    if (program && strcasecmp(program, kEventHelpNavbar) == 0) return GenHelpNavbarPage();
    return ZarvoBaseCommon::HandleEvent(program);
}

Page* ZarvoAdminCommon::GenHelpNavbarPage() {
    struct Entry {
        const char* event;
        const char* gif;
        const char* text;
    };
    static const Entry entries[] = {
        {kEventAbout, "faboutzarvo", "About Zarvo, the directory and groupware suite from Zarvo Software"},
        {kEventFeedback, "fzarvofeedback", "Send feedback to Zarvo"},
    };
    std::unique_ptr<ZaPage> page(new ZaPage(style->mainPage));
    for (const Entry& entry : entries) {
        Url* url = new Url(application->program);
        url->addAttribute("program", entry.event);
        ZaImageButton* button = new ZaImageButton(url, entry.gif, entry.text);
        button->SetTarget("about_main");
        page->AppendToBody(button);
    }
    return page.release();
}

ZaTable* ZarvoAdminCommon::GetLDAPInfoTable(const char* machine, int port, const char* rootDN,
                                            ZaBoolean fixedValues, const char* searchBase) {
    std::unique_ptr<ZaTable> table(new ZaTable(2, ZaTrue, 2));
    auto row = [&table](const char* label, HTMLObject* field) {
        table->SetHorizontalAlignment("center");
        table->addObject(label, ZaFalse);
        table->SetHorizontalAlignment("left");
        table->addObject(field);
    };
    row("Machine", new ZaTextInput("machineNo", machine ? machine : "", 20));
    // A port that is not configured (negative) is offered as an empty field.
    row("Port Number", port >= 0 ? new ZaTextInput("portNo", port, 20) : new ZaTextInput("portNo", "", 20));
    row("Root DN", fixedValues == ZaTrue ? FixedValue("rootDN", kSampleRootDN)
                                         : new ZaTextInput("rootDN", rootDN ? rootDN : "", 45));
    row("Root Password", new ZaPasswordInput("rootPasswd", "", 45));
    row("Search Base", fixedValues == ZaTrue
                           ? FixedValue("searchBase", kSampleSearchBase)
                           : new ZaTextInput("searchBase", searchBase ? searchBase : "", 20));
    return table.release();
}

Page* ZarvoAdminCommon::GenLDAPSetupPage(const char* message, ValList* messages) {
    std::unique_ptr<ZaPage> page(new ZaPage());
    page->AddJSIsInteger();
    page->AddJSFunction("isEmpty");
    page->AddJSFunction("validateInput");

    ZaTable* title = new ZaTable(2, ZaTrue, 4);
    title->AddHH(ZaGetZarvoLogo(), new H1("LDAP Configuration"));
    page->AppendToBody(title);
    // The administrator logs in again once the store has been set up.
    LogPersonOut(page.get());

    if (message) {
        page->AppendToBody(new B(message));
        page->AppendToBody(new Br(""));
    }
    AppendMessages(page.get(), messages);
    page->AppendToBody(new Br(""));
    page->AppendToBody("Please enter the following information");

    ZaConfigDB* config = application->GetConfigDB();
    ZaForm* form = new ZaForm("createform", "admin.cgi");
    page->AppendToBody(form);
    form->addObject(new ZaHiddenInput("program", "updateLDAPSetupInfo"));
    form->addObject(GetLDAPInfoTable(config->LDAPServerName(), config->LDAPServerPort(),
                                     config->LDAPRootDN(), ZaFalse, config->LDAPSearchBase()));
    form->addObject(new Hr(""));
    form->addObject(new ZaImageButton("bsave", "javascript:validateInput()", "Click here to save the values"));
    ZaImageButton* cancel = new ZaImageButton("bcancel", "../../..", "Click here to cancel this operation");
    cancel->SetTarget("_top");
    form->addObject(cancel);
    return page.release();
}

Page* ZarvoAdminCommon::GenDBSetupErrorPage(const char* message, ValList* messages) {
    if (application->GetConfigDB()->DBFormat(ZA_EMP_DIR_DB) == ZA_LDAP)
        return GenLDAPSetupPage(message, messages);
    std::unique_ptr<ZaPage> page(new ZaPage());
    page->AppendToBody(new ZaCommonImage("herror"));
    page->AppendToBody(new H2("The following database error was reported. "
                              "Please contact your database administrator for help."));
    page->AppendToBody(new Br(""));
    page->AppendToBody(new Br(""));
    for (ValListItem* item = messages ? messages->head : nullptr; item; item = item->next) {
        page->AppendToBody(item->value ? item->value : "");
        page->AppendToBody(new Br(""));
    }
    return page.release();
}
