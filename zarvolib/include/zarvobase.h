// The application frame every program of the suite is built on.
// ZarvoBaseApp: the per-process application object; it owns the configuration,
// the directory stores and the message catalogues, and lends them out.
// ZarvoBaseCommon: the per-request object; it owns the style and the log, knows
// who is logged in, and turns an event name into a page. Every page-producing
// operation returns a new Page that the caller emits and deletes (or null).
#ifndef ZARVOBASE_H
#define ZARVOBASE_H

#include "zaerror.h"

class GroupDB;
class Page;
class RequestInfo;
class Url;
class UserDB;
class ValList;
class ValNameList;
class ZaConfigDB;
class ZaLog;
class ZaPage;
class ZaStyle;

// Cookies that carry a login from request to request.
inline constexpr char kUidCookie[] = "ZarvoUidCookie";
inline constexpr char kLoginTimeCookie[] = "ZarvoUserLoginTime";
inline constexpr char kWebmasterCookie[] = "ZarvoIsWebmaster";
inline constexpr char kServerLoginCookie[] = "ZarvoNetscapeLogin";

// The framework's common events.
inline constexpr char kEventLogin[] = "app_common_prog_login";
inline constexpr char kEventLogout[] = "app_common_prog_logout";
inline constexpr char kEventHelpTop[] = "app_common_prog_help_top";
inline constexpr char kEventAbout[] = "app_common_prog_about_zarvo";
inline constexpr char kEventFeedback[] = "app_common_prog_help_feedback";
inline constexpr char kEventHelpNavbar[] = "app_common_prog_help_navbar";

class ZarvoBaseApp {
public:
    char* name;               // application name, also the log's application name
    char* program;            // script name such as "operadmin.cgi"
    UserDB* userDB;           // created on first use
    GroupDB* groupDB;         // created on first use
    ZaConfigDB* configDB;     // created on first use
    char* messagesFile;       // may be null
    char* localMessagesFile;  // searched first; may be null
    ValNameList* messages;    // read on first use
    ValNameList* localMessages;
    int threadKey;

    // Copies the four texts; either catalogue path may be null.
    ZarvoBaseApp(const char* name, const char* program, const char* messagesFile,
                 const char* localMessagesFile);
    ZarvoBaseApp(const ZarvoBaseApp&) = delete;
    ZarvoBaseApp& operator=(const ZarvoBaseApp&) = delete;
    virtual ~ZarvoBaseApp();

    // Each is created once and kept; the application owns what they return.
    // The stores raise a ZaError when they cannot be opened.
    ZaConfigDB* GetConfigDB();
    UserDB* GetUserDB();
    GroupDB* GetGroupDB();

    // The catalogue text for key (local catalogue first). Unless noFallback,
    // a missing key is tried again as key + "_ZARVO", "_LDAP" or "_SQL" after
    // the configured store kind. Never null; the text belongs to the application.
    const char* GetMessage(const char* key, ZaBoolean noFallback = ZaFalse);

private:
    ValList* missingTexts;  // the "Message ... not found" texts handed out so far
};

// Product facts read from a name/value list file; absent keys leave null.
class ZarvoApplicationInfo {
public:
    char* version;      // "VERSION"
    char* id;           // "ID"
    char* description;  // "DESCRIPTION"
    char* program;      // "PROGRAM"
    char* navbarGif;    // "NAVBAR_GIF"
    char* navbarGifDir; // "NAVBAR_GIFDIR"

    explicit ZarvoApplicationInfo(const char* path);
    ZarvoApplicationInfo(const ZarvoApplicationInfo&) = delete;
    ZarvoApplicationInfo& operator=(const ZarvoApplicationInfo&) = delete;
    ~ZarvoApplicationInfo();
};

class ZarvoBaseCommon {
public:
    char* uid;                  // the logged-in user's id, cached; null until known
    ZaStyle* style;             // owned; starts as the built-in style
    RequestInfo* request;       // not owned
    ZaLog* log;                 // owned
    ZarvoBaseApp* application;  // not owned

    // bufferedLog: gather this request's log lines and append them at the end.
    ZarvoBaseCommon(RequestInfo* request, ZarvoBaseApp* application, ZaBoolean bufferedLog);
    ZarvoBaseCommon(const ZarvoBaseCommon&) = delete;
    ZarvoBaseCommon& operator=(const ZarvoBaseCommon&) = delete;

    // Virtual operations; derived classes keep this order.
    // Null when the request is (or has just been) logged in, else a login page.
    virtual Page* UserAuthenticateAndLogin();
    virtual ~ZarvoBaseCommon();
    virtual void Initialize();
    virtual ZaBoolean IsLoggedIn();
    // Marks this request as logged in through its own cookie list.
    virtual void LogIn(const char* uid, ZaBoolean webmaster, ZaBoolean serverLogin);
    virtual ZaBoolean IsNetscapeLogin();
    // Put the login cookies (refreshed, or cleared) into the page's headers.
    virtual void LogPersonIn(Page* page);
    virtual void LogPersonOut(Page* page);
    virtual Page* CheckLogin(const char* program);
    virtual Page* GenHelpTopPage();
    virtual Page* GenFeedbackPage();
    virtual Page* GenZarvoAboutPage();
    virtual Page* LoginPage();
    virtual Page* LogoutPage();
    // The common events; any other name gives the bug report page.
    virtual Page* HandleEvent(const char* program);
    virtual ZaBoolean BypassLoginCheck(const char* program);

    ZaBoolean CheckIfLoggedOut();
    ZaBoolean CheckIfTimedOut(int timeout);
    // Borrowed cookie value, or null when logged out or timed out.
    const char* FindUid();
    // The cached user id (borrowed), or null.
    const char* GetMyUid();
    // The login form posting to action (owned by the page from now on).
    Page* GenLoginPage(Url* action, const char* message);
    // The form's target: the program with every request parameter but the
    // first "login" and "password". A new Url owned by the caller.
    Url* LoginTarget();
    void SetCurrentStyle(ZarvoBaseApp* app, const char* uid);
    void SetStyle(const char* name);
    void SetStyle(ZaStyle* newStyle);  // owned from now on
};

// Supplied by the application: a new request object, whose application
// object is created on the first call and kept for the life of the process.
ZarvoBaseCommon* GetRequestObject(RequestInfo* request);

// Adds every trace line of error (newest first) to the log at the error
// level; a null log or error does nothing.
void ZaLogTrace(ZaLog* log, const ZaError* error);
// Logs the trace (when a log is given) and emits the bug report page.
void ZaExceptHandleFunc(ZaError* error, RequestInfo* request, ZaLog* log, const char* bugReportAddr);
// Handles an internal error that reached ModuleMain; app may be null.
void ModuleMainExceptionHandler(ZarvoBaseCommon* app, RequestInfo* request, ZaError* error);

// Page builders; each returns a new page owned by the caller.
ZaPage* EmitNicePage(ValList* messages);
ZaPage* ZaCreateErrorPage(ValList* trace, const char* bugReportAddr, RequestInfo* request);
ZaPage* ZaCreateGenericFeedbackPage(const char* headingImage, const char* heading,
                                    const char* address, RequestInfo* request);

// Emits a page with the frame's conventions (indent 0, line breaks on).
void ZaEmitPage(Page* page, RequestInfo* request, const char* style);

#endif
