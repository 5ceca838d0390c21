// The administration layer: administrator-only login, the fixed style, the
// help navigation bar, and the pages for a directory store that is not set up.
#include "zarvoadmin.h"

#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "loginrules.h"
#include "reqinfo.h"
#include "userDB.h"
#include "zasession.h"
#include "vallist.h"
#include "zaconfigDB.h"
#include "zarvoclasses.h"

namespace {

const char kSampleRootDN[] = "cn=Directory Manager, o=Company, c=US";
const char kSampleSearchBase[] = "o=Company, c=US";
const char kEventUpdateLDAPSetup[] = "updateLDAPSetupInfo";

// A value an operator typed: present, not too long, without control characters.
bool Printable(const char* text, size_t limit) {
    if (!text || !*text || strlen(text) > limit) return false;
    for (const char* c = text; *c; ++c)
        if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7f) return false;
    return true;
}

bool HostName(const char* host) {
    if (!Printable(host, 255)) return false;
    for (const char* c = host; *c; ++c)
        if (!isalnum(static_cast<unsigned char>(*c)) && !strchr(".-_:[]", *c)) return false;
    return true;
}

// 1 to 65535, digits only; 0 otherwise.
int PortNumber(const char* text) {
    if (!text || !*text || strlen(text) > 5 || strspn(text, "0123456789") != strlen(text)) return 0;
    int port = atoi(text);
    return port <= 65535 ? port : 0;
}

bool DistinguishedName(const char* dn) { return Printable(dn, 1024) && strchr(dn, '=') != nullptr; }

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
    if (program && strcasecmp(program, kEventUpdateLDAPSetup) == 0) return UpdateLDAPSetupInfo();
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
    form->addObject(new ZaHiddenInput("program", kEventUpdateLDAPSetup));
    std::unique_ptr<char, decltype(&free)> token(ZaActionToken(this, kEventUpdateLDAPSetup), &free);
    if (token) form->addObject(new ZaHiddenInput(kTokenParam, token.get()));
    form->addObject(GetLDAPInfoTable(config->LDAPServerName(), config->LDAPServerPort(),
                                     config->LDAPRootDN(), ZaFalse, config->LDAPSearchBase()));
    form->addObject(new Hr(""));
    form->addObject(new ZaImageButton("bsave", "javascript:validateInput()", "Click here to save the values"));
    ZaImageButton* cancel = new ZaImageButton("bcancel", "../../..", "Click here to cancel this operation");
    cancel->SetTarget("_top");
    form->addObject(cancel);
    return page.release();
}

Page* ZarvoAdminCommon::UpdateLDAPSetupInfo() {
    // Settings change only through a posted form, never through a link.
    if (!request->requestMethod || strcasecmp(request->requestMethod, "POST") != 0)
        return GenLDAPSetupPage("Please save the settings with the form.", nullptr);
    if (Page* refused = ZaRefuseForgedAction(this, kEventUpdateLDAPSetup)) return refused;
    const char* host = request->FindVar("machineNo");
    const char* portText = request->FindVar("portNo");
    const char* rootDN = request->FindVar("rootDN");
    const char* password = request->FindVar("rootPasswd");
    const char* searchBase = request->FindVar("searchBase");
    int port = PortNumber(portText);
    const char* problem = !HostName(host) ? "Please enter the machine name of the LDAP server."
                          : port == 0     ? "The port number must be a number from 1 to 65535."
                          : !DistinguishedName(rootDN)
                              ? "Please enter the root DN, such as cn=Manager,dc=example,dc=com."
                          : !DistinguishedName(searchBase) ? "Please enter the search base, such as dc=example,dc=com."
                          : (password && *password && !Printable(password, 1024))
                              ? "The root password cannot hold control characters."
                              : nullptr;
    if (problem) return GenLDAPSetupPage(problem, nullptr);

    ZaConfigDB* config = application->GetConfigDB();
    // Starts from the file as it is now, so that settings another process
    // saved meanwhile are kept; an empty password field keeps the password.
    config->Reload(ZaTrue);
    std::string keptPassword = config->LDAPRootPasswd() ? config->LDAPRootPasswd() : "";
    std::string newPassword = password && *password ? password : keptPassword;
    LDAPInfoRec rec{port, const_cast<char*>(host), const_cast<char*>(rootDN), &newPassword[0],
                    const_cast<char*>(searchBase)};
    if (config->DBFormat(ZA_LDAP, ZaTrue, &rec, ZA_EMP_DIR_DB) != ZaTrue || config->WriteToFile() != ZaTrue)
        return GenLDAPSetupPage("The settings could not be saved.", nullptr);
    ZaAudit(this, nullptr, kEventUpdateLDAPSetup,
            (std::string(host) + ":" + std::to_string(port) + " " + searchBase).c_str(), "saved");

    // Does the directory answer with the new settings?
    try {
        UserDB* probe = ZaCreateUserDB(config);
        try {
            int key = 0;
            if (probe->Open(ZaFalse, config, &key) == ZaTrue) probe->IsSetUp();
        } catch (ZaError*) {
            ZaDestroyUserDB(probe, config);
            throw;
        }
        ZaDestroyUserDB(probe, config);
    } catch (ZaError* e) {
        std::unique_ptr<ZaError> error(e);
        if (e->level != 3) throw error.release();
        return GenLDAPSetupPage("The settings were saved, but the directory does not answer:", &e->userMessages);
    }
    Page* page = GenLoginPage(new Url(application->program), "The directory settings were saved. Please log in.");
    LogPersonOut(page);
    return page;
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
