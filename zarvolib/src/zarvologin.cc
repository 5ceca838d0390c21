// Login and session: the four login cookies, the time-out arithmetic, the
// login form matched against the user store, the login page and logging out.
// With signed sessions (zasession.h) a fifth cookie vouches for the four,
// failed logins are throttled (zathrottle.h), and logins are audited.
#include <crypt.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <memory>
#include <string>

#include "loginrules.h"
#include "reqinfo.h"
#include "string_class.h"
#include "stringutil.h"
#include "textsupport.h"
#include "userDB.h"
#include "vallist.h"
#include "zalog.h"
#include "zarvobase.h"
#include "zarvoclasses.h"
#include "zasession.h"
#include "zathrottle.h"
#include "zatime.h"

namespace {

// The moment as the suite's times count it (ZaTime::t), without the zone
// text a ZaTime works out, which costs every request a read of the zone file.
long long Now() { return static_cast<int>(time(nullptr)); }

const size_t kMaxLoginEcho = 4096;

// The cookie's value read as a number; text that is not one reads as 0.
long long CookieNumber(const char* value) { return value ? strtoll(value, nullptr, 10) : 0; }

// The gateway URL-decodes cookies on the way in, so values are URL-encoded on
// the way out: a value that came from the request cannot break the header.
// Signed sessions set every cookie with the attributes that keep it from
// scripts and other sites.
void AddLoginCookie(ZarvoBaseCommon* common, Page* page, const char* name, const char* value) {
    if (ZaSignedSessions(common)) {
        page->AddToList(ZaNewSessionCookie(common, name, value));
        return;
    }
    String encoded(value);
    encoded.PrepForURL();
    page->AddToList(new SetCookie(name, encoded.text ? encoded.text : "", 0));
}

// Failures allowed before a login name, or a client address (behind which
// a whole office may sit), has to wait.
const int kFailuresPerName = 5;
const int kFailuresPerAddress = 20;

std::string ThrottleFile(ZarvoBaseCommon* common) {
    return std::string(common->application->GetConfigDB()->GetTopZarvoDir()) + "/config/loginThrottle";
}

std::string NameKey(const char* login) {
    std::string key = std::string("name:") + login;
    for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return key;
}

// Costs what checking a stored password costs, so that an unknown login name
// answers no faster than a wrong password.
void SpendPasswordCheckTime(const char* password) {
    static char setting[CRYPT_GENSALT_OUTPUT_SIZE] = "";
    if (!setting[0] && !crypt_gensalt_rn("$y$", 0, nullptr, 0, setting, sizeof setting) &&
        !crypt_gensalt_rn("$6$", 0, nullptr, 0, setting, sizeof setting))
        return;
    std::unique_ptr<crypt_data> data(new crypt_data());
    crypt_r(password, setting, data.get());
}

bool IsOldMozilla(RequestInfo* request) {
    return request->browserType == 1 && request->browserVersion < 4.0;
}

}  // namespace

ZaBoolean ZarvoBaseCommon::CheckIfLoggedOut() {
    const char* expiry = request->FindCookie(kLoginTimeCookie);
    return (!expiry || CookieNumber(expiry) == 0) ? ZaTrue : ZaFalse;
}

ZaBoolean ZarvoBaseCommon::CheckIfTimedOut(int timeout) {
    const char* expiry = request->FindCookie(kLoginTimeCookie);
    if (!expiry) return ZaTrue;
    long long value = CookieNumber(expiry), now = Now();
    // An expiry further ahead than one time-out was not set by this program.
    return (now <= value && value <= now + timeout) ? ZaFalse : ZaTrue;
}

const char* ZarvoBaseCommon::FindUid() {
    if (CheckIfLoggedOut() == ZaTrue) return nullptr;
    int timeout = application->GetConfigDB()->UserSessionTimeOut();
    if (timeout > 0 && CheckIfTimedOut(timeout) == ZaTrue) return nullptr;
    const char* found = request->FindCookie(kUidCookie);
    // An empty id names nobody.
    if (!found || !*found) return nullptr;
    // Cookies anyone can write count only with the signature of a live session.
    if (ZaSignedSessions(this) && ZaSessionIsValid(this) != ZaTrue) return nullptr;
    return found;
}

ZaBoolean ZarvoBaseCommon::IsLoggedIn() { return FindUid() ? ZaTrue : ZaFalse; }

ZaBoolean ZarvoBaseCommon::IsNetscapeLogin() {
    const char* flag = request->FindCookie(kServerLoginCookie);
    return (flag && strcasecmp(flag, "TRUE") == 0) ? ZaTrue : ZaFalse;
}

void ZarvoBaseCommon::LogIn(const char* newUid, ZaBoolean webmaster, ZaBoolean serverLogin) {
    if (!request->cookies) request->cookies = new ValNameList();
    ValNameList* cookies = request->cookies;
    cookies->Replace(kUidCookie, newUid);
    std::string expiry = std::to_string(Now() + application->GetConfigDB()->UserSessionTimeOut());
    cookies->Replace(kLoginTimeCookie, expiry.c_str());
    cookies->Replace(kServerLoginCookie, serverLogin == ZaTrue ? "TRUE" : "FALSE");
    if (ZaSignedSessions(this)) {
        // The flag is signed into the session, so a flag the browser brought
        // along must not survive the login of someone who is no webmaster.
        cookies->Replace(kWebmasterCookie, webmaster == ZaTrue ? "TRUE" : "FALSE");
        ZaStartSession(this);
    } else if (webmaster == ZaTrue) {
        cookies->Replace(kWebmasterCookie, "TRUE");
    }
    // The cached id belongs to the login this request had before.
    free(uid);
    uid = nullptr;
}

void ZarvoBaseCommon::LogPersonIn(Page* page) {
    const char* found = FindUid();
    if (found) AddLoginCookie(this, page, kUidCookie, found);
    for (const char* name : {kWebmasterCookie, kServerLoginCookie}) {
        if (const char* value = request->FindCookie(name)) AddLoginCookie(this, page, name, value);
    }
    std::string expiry = std::to_string(Now() + application->GetConfigDB()->UserSessionTimeOut());
    AddLoginCookie(this, page, kLoginTimeCookie, expiry.c_str());
    // The refreshed expiry is signed anew.
    if (found && ZaSignedSessions(this)) {
        std::string session = ZaResignedSession(this, found, expiry.c_str());
        if (!session.empty()) AddLoginCookie(this, page, kSessionCookie, session.c_str());
    }
}

void ZarvoBaseCommon::LogPersonOut(Page* page) {
    AddLoginCookie(this, page, kLoginTimeCookie, "0");
    AddLoginCookie(this, page, kWebmasterCookie, "FALSE");
    AddLoginCookie(this, page, kServerLoginCookie, "FALSE");
    if (ZaSignedSessions(this)) {
        // Cookies kept or copied from before this page stay useless.
        ZaRevokeSession(this);
        AddLoginCookie(this, page, kSessionCookie, "0");
    }
}

Page* ZarvoBaseCommon::CheckLogin(const char* program) {
    if (BypassLoginCheck(program) == ZaTrue) return nullptr;
    return UserAuthenticateAndLogin();
}

// The login form returns to the request it interrupted, but echoes at most
// kMaxLoginEcho bytes of its parameters: beyond that only "program" is kept,
// so a stranger's large request never comes back in the page.
Url* ZarvoBaseCommon::LoginTarget() {
    Url* target = new Url(application->program);
    std::unique_ptr<ValNameList> kept(request->params ? request->params->Copy() : new ValNameList());
    kept->Remove("login");
    kept->Remove("password");
    size_t size = 0;
    for (ValNameListItem* item = kept->head; item; item = item->next)
        size += (item->name ? strlen(item->name) : 0) + (item->value ? strlen(item->value) : 0) + 2;
    if (size > kMaxLoginEcho) {
        const char* program = request->FindVar("program");
        kept.reset(new ValNameList());
        if (program && strlen(program) <= kMaxLoginEcho) kept->Append("program", program);
    }
    target->addAttribute(kept.get());
    return target;
}

Page* ZaAuthenticateAndLogIn(ZarvoBaseCommon* common, const ZaLoginRules& rules) {
    if (common->IsLoggedIn() == ZaTrue) return nullptr;
    UserDB* users = common->application->GetUserDB();
    RequestInfo* request = common->request;
    std::unique_ptr<Url> target(common->LoginTarget());
    if (rules.storeMustBeSetUp && users->IsSetUp() != ZaTrue)
        return common->GenLoginPage(target.release(), "Cannot login as the application is not setup");
    // A program for administrators only has checked the flag before it admits anyone.
    auto isWebmaster = [&](char* uid) {
        return (rules.administratorsOnly || users->GetLoginFlag(uid) == ZaTrue) ? ZaTrue : ZaFalse;
    };
    auto admit = [&](char* uid, ZaBoolean serverLogin) {
        common->LogIn(uid, isWebmaster(uid), serverLogin);
        if (rules.personalStyle) common->SetCurrentStyle(common->application, uid);
        users->NoteLogin(uid);
        const bool plain = !ZaSignedSessions(common);
        // Plain cookies can be written by anyone: each session says so.
        if (plain)
            common->log->AddMsg(ZA_WARNING, (std::string("Uid ") + uid +
                                             " logged in with plain cookies (sessionSecurity ZA_PLAIN): "
                                             "anyone who can write these cookies can act as an operator")
                                                .c_str());
        ZaAudit(common, uid, "login", serverLogin == ZaTrue ? "web server" : "form",
                plain ? "ok, plain cookies" : "ok");
    };

    if (!StringIsEmpty(request->remoteUser)) {
        OwnedText found(users->GetUidFromServerUser(request->remoteUser));
        if (found && users->UserExists(found.get()) == ZaTrue &&
            (!rules.administratorsOnly || users->GetLoginFlag(found.get()) == ZaTrue)) {
            admit(found.get(), ZaTrue);
            return nullptr;
        }
    }

    char* login = request->FindVar("login");
    char* password = request->FindVar("password");
    if (login && password) {
        const bool guarded = ZaSignedSessions(common);
        ZaLoginThrottle throttle(guarded ? ThrottleFile(common) : "");
        const std::string address = ZaClientAddress();
        const std::string keys[] = {NameKey(login), "addr:" + address};
        const int allowed[] = {kFailuresPerName, kFailuresPerAddress};
        const int keyCount = address == "-" ? 1 : 2;
        auto refuse = [&](const char* message, const char* outcome, bool countIt) {
            if (guarded && countIt)
                for (int i = 0; i < keyCount; ++i) throttle.Failed(keys[i], allowed[i], static_cast<long>(Now()));
            ZaAudit(common, login, "login", "form", outcome);
            return common->GenLoginPage(target.release(), message);
        };
        if (guarded) {
            long wait = 0;
            for (int i = 0; i < keyCount; ++i) wait = std::max(wait, throttle.WaitFor(keys[i], static_cast<long>(Now())));
            if (wait > 0) {
                std::string message = "Too many failed logins: please wait " + std::to_string(wait) +
                                      " seconds before you try again";
                return refuse(message.c_str(), "refused: too many failures", false);
            }
        }
        OwnedText found(users->GetUidFromLogin(login));
        if (!found) {
            if (guarded) SpendPasswordCheckTime(password);
            return refuse("Incorrect username, please try again", "failed: unknown name", true);
        }
        // Whether the name belongs to an administrator is told before the password is checked.
        if (rules.administratorsOnly && users->GetLoginFlag(found.get()) != ZaTrue)
            return refuse("You are not on the list of valid administrators.", "failed: not an administrator", true);
        if (users->CheckPassword(found.get(), password) != ZaTrue)
            return refuse("Incorrect password, please try again", "failed: wrong password", true);
        // An account whose person has left the directory is no operator any more.
        if (guarded && users->UserExists(found.get()) != ZaTrue)
            return refuse("You are not in the directory any more and cannot log in.", "refused: not in the directory",
                          false);
        if (guarded) throttle.Succeeded(keys[0]);
        admit(found.get(), ZaFalse);
        return nullptr;
    }
    return common->GenLoginPage(target.release(), nullptr);
}

Page* ZarvoBaseCommon::UserAuthenticateAndLogin() {
    return ZaAuthenticateAndLogIn(this, {/*storeMustBeSetUp=*/true, /*administratorsOnly=*/false,
                                         /*personalStyle=*/true});
}

Page* ZarvoBaseCommon::LoginPage() { return GenLoginPage(new Url(application->program), nullptr); }

Page* ZarvoBaseCommon::LogoutPage() {
    // A logout is an action: a page of another site cannot end the session.
    if (ZaSignedSessions(this) && ZaSessionIsValid(this) == ZaTrue)
        if (Page* refused = ZaRefuseForgedAction(this, kEventLogout)) return refused;
    const char* who = GetMyUid();
    ZaAudit(this, who ? who : "-", "logout", nullptr, "ok");
    // Logged only when the log keeps information messages.
    log->AddMsg(ZA_INFO, (std::string("Uid ") + (who ? who : "") + " logged out").c_str());
    Page* page = GenLoginPage(new Url(application->program), "You have been logged out");
    LogPersonOut(page);
    return page;
}

Page* ZarvoBaseCommon::GenLoginPage(Url* action, const char* message) {
    std::unique_ptr<Url> ownedAction(action);
    std::unique_ptr<ZaPage> page(new ZaPage());
    page->head->addObject(new Title(application->GetMessage("LoginPageTitle")));
    const bool oldMozilla = IsOldMozilla(request);
    if (oldMozilla) {
        page->AddJSVar("loginFocussed", "true");
        page->AddJSFunction("checkAndSubmitForm");
        page->AddJSFunction("loginOnFocus");
    }
    page->AddJSSubmitForm();

    // Hung into the page before the catalogue is read, so that a catalogue
    // that cannot be read leaves nothing behind.
    Center* heading = new Center(ZaGetFrontPageLogo());
    page->AppendToBody(heading);
    heading->addObject(new H2(application->GetMessage("LoginPageMsg")));
    if (message) heading->addObject(new H2(message));

    ZaForm* form = new ZaForm("loginform", ownedAction.release());
    page->AppendToBody(form);
    page->AddFormFocusTo("loginform", "login");

    ZaTable* fields = new ZaTable(2, ZaTrue, 4);
    ZaTextInput* login = new ZaTextInput("login", "", 20);
    ZaPasswordInput* password = new ZaPasswordInput("password", 20);
    if (oldMozilla) {
        login->addAttribute(ATTR_ONFOCUS, "loginOnFocus();");
        login->addAttribute(ATTR_ONCHANGE, "checkAndSubmitForm('login');");
        password->addAttribute(ATTR_ONCHANGE, "checkAndSubmitForm('passwd');");
    }
    fields->addObject(new B("Username"));
    fields->addObject(login);
    fields->addObject(new B("Password"));
    fields->addObject(password);
    form->addObject(fields);

    Center* submit = new Center(new Br(""));
    submit->addObject(new ZaImageButton(new SubmitFormUrl(), "mlogin", "Login"));
    // Enter in either field sends the form, as it does in a form with a submit
    // button; this one is kept out of sight, so the page looks as before.
    Input* enter = new Input(static_cast<const char*>(nullptr));
    enter->addAttribute(ATTR_TYPE, "submit");
    enter->addAttribute("tabindex", "-1");
    enter->addAttribute("style", "position:absolute;left:-9999px");
    submit->addObject(enter);
    form->addObject(submit);
    return page.release();
}

void ZarvoBaseCommon::SetCurrentStyle(ZarvoBaseApp* app, const char* forUid) {
    ZaConfigDB* config = app->GetConfigDB();
    const char* defaultStyle = config->DefaultStyle();
    std::string chosen = defaultStyle ? defaultStyle : "";
    const char* onlyDefault = config->DefaultOnlyStyle();
    if (forUid && onlyDefault && strcasecmp(onlyDefault, "FALSE") == 0) {
        std::unique_ptr<ValNameList> prefs(app->GetUserDB()->GetUserPreferences(const_cast<char*>(forUid)));
        ValNameListItem* own = prefs ? prefs->Lookup("style") : nullptr;
        if (own && own->value) chosen = own->value;
    }
    std::unique_ptr<ValNameList> available(config->GetAvailableStyles());
    if (!available || !available->Lookup(chosen.c_str())) chosen = defaultStyle ? defaultStyle : "";
    // The new style is complete before it replaces the old one, so a failure
    // leaves the request with a usable style.
    std::unique_ptr<ZaStyle> made(new ZaStyle(chosen.c_str(), nullptr));
    std::unique_ptr<ValNameList> settings(config->GetStyleInfo(chosen.c_str()));
    if (settings) made->InitFromList(settings.get());
    SetStyle(made.release());
}
