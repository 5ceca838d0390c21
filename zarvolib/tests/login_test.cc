// Login and session against a stand-in user store: the cookies a login reads
// and writes, the login form matched against the store, the style chosen,
// the login page per browser, and the administrator layer's checks and pages.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "frame_testing.h"
#include "userDB.h"
#include "zarvoadmin.h"
#include "zarvoclasses.h"
#include "zaport.h"

namespace {

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override { tree.WriteList("web/admin/bin/adminmsg.lst", "LoginPageMsg:Operators only\n"); }
    // A new application reading the settings as they are now.
    std::unique_ptr<ZarvoAdminApp> App(const std::string& settings = "") {
        tree.WriteConfig(settings);
        return std::make_unique<ZarvoAdminApp>("LoginTest", "login.cgi", nullptr);
    }
    static std::string Render(Page* page, RequestInfo* request) {
        std::unique_ptr<Page> owned(page);
        CaptureRequest out;
        out.browserType = request->browserType;
        ZaEmitPage(page, &out, "style0");
        return out.out;
    }
    FrameTree tree;
};

TEST_F(LoginTest, AdministratorNeedsTheExactWebmasterFlag) {
    struct Case {
        const char* webmaster;
        bool base, admin, serverLogin;
        const char* serverCookie;
    };
    for (const Case& c : {Case{"TRUE", true, true, false, "FALSE"}, Case{"true", true, false, true, "true"},
                          Case{"FALSE", true, false, true, "TRUE"}, Case{"", true, false, false, "maybe"}}) {
        auto app = App();
        CaptureRequest request("", LoginCookies("u1", 60, c.webmaster) + "; ZarvoNetscapeLogin=" + c.serverCookie);
        ZarvoAdminCommon admin(&request, app.get(), ZaFalse);
        EXPECT_EQ(admin.ZarvoBaseCommon::IsLoggedIn() == ZaTrue, c.base) << c.webmaster;
        EXPECT_EQ(admin.IsLoggedIn() == ZaTrue, c.admin) << c.webmaster;
        EXPECT_EQ(admin.IsNetscapeLogin() == ZaTrue, c.serverLogin) << c.serverCookie;
    }
}

TEST_F(LoginTest, RefreshedCookiesCannotBreakTheHeader) {
    auto app = App("userSessionTimeOut:900\n");
    // The request's own values go back URL-encoded: a line break in a cookie
    // cannot start a header of its own.
    CaptureRequest request("", LoginCookies("u1", 60, "%0D%0ASet-Cookie: evil=1") + "; ZarvoNetscapeLogin=TRUE");
    ZarvoBaseCommon common(&request, app.get(), ZaFalse);
    ZaPage* page = new ZaPage();
    common.LogPersonIn(page);
    std::string refreshed = Render(page, &request);
    const std::string expected = "Set-Cookie: ZarvoUidCookie=u1; path=/;\n"
                                 "Set-Cookie: ZarvoIsWebmaster=%0D%0ASet-Cookie%3A%20evil%3D1; path=/;\n"
                                 "Set-Cookie: ZarvoNetscapeLogin=TRUE; path=/;\n"
                                 "Set-Cookie: ZarvoUserLoginTime=";
    EXPECT_NE(refreshed.find(expected), std::string::npos) << refreshed;
    EXPECT_EQ(refreshed.find("\nSet-Cookie: evil"), std::string::npos);
}

// Two accounts: "eve" (u5, prefers the listed style2, no administrator) and
// "mal" (u6, prefers the unlisted style7, administrator); the web server knows
// eve as "eve-web". Everything else a login does not ask answers nothing.
class FakeUsers : public UserDB {
public:
    bool setUp = true;
    std::string noted;
    ZaBoolean Open(ZaBoolean, ZaConfigDB*, int*) override { return ZaTrue; }
    ZaBoolean IsSetUp() override { return setUp ? ZaTrue : ZaFalse; }
    ZaBoolean NoteLogin(char* uid) override { return noted = uid, ZaTrue; }
    ZaBoolean GetLoginFlag(char* uid) override { return Is(uid, "u6"); }
    ZaBoolean CheckPassword(char* uid, char* password) override {
        return Is(uid, "u5") && Is(password, "pw") ? ZaTrue : Is(uid, "u6");
    }
    ZaBoolean UserExists(char* uid) override { return Is(uid, "u5") || Is(uid, "u6") ? ZaTrue : ZaFalse; }
    char* GetUidFromLogin(char* login) override {
        return Is(login, "eve") ? strdup("u5") : Is(login, "mal") ? strdup("u6") : nullptr;
    }
    char* GetUidFromServerUser(char* user) override { return Is(user, "eve-web") ? strdup("u5") : nullptr; }
    ValNameList* GetUserPreferences(char* uid) override {
        ValNameList* prefs = new ValNameList();
        prefs->Append("style", Is(uid, "u5") ? "style2" : "style7");
        return prefs;
    }
    VCard* GetBaseCard() override { return nullptr; }
    ZaBoolean DeleteAccount(char*) override { return ZaFalse; }
    ZaBoolean SetPassword(char*, char*) override { return ZaFalse; }
    ZaBoolean LoginTaken(char*) override { return ZaFalse; }
    ZaBoolean AccountExists(char*) override { return ZaFalse; }
    ZaBoolean CreateAccount(char*, char*) override { return ZaFalse; }
    char* GetUserName(char*) override { return nullptr; }
    char* GetEmailAddress(char*) override { return nullptr; }
    ValList* GetGroupsOfUser(char*) override { return nullptr; }
    ValList* GetHotlistPeople(char*) override { return nullptr; }
    ValList* GetHotlistGroups(char*) override { return nullptr; }
    VCard* GetVCard(char*, ZaBoolean) override { return nullptr; }
    long GetDiskUsage(char*) override { return 0; }
    ValNameList* GetAllDiskUsage() override { return nullptr; }
    ValNameList* GetDiskUsageOf(ValList*) override { return nullptr; }
    ValNameList* GetCurrentUserNames() override { return nullptr; }
    ValNameList* GetAccountLogins() override { return nullptr; }
    ValNameList* GetAccountNames() override { return nullptr; }
    ZaBoolean DeleteUserData(char*) override { return ZaFalse; }
    ZaBoolean IsNonCurrentUser(char*) override { return ZaFalse; }
    ValNameList* GetCurrentUsers() override { return nullptr; }

private:
    static ZaBoolean Is(const char* a, const char* b) { return a && strcmp(a, b) == 0 ? ZaTrue : ZaFalse; }
};

TEST_F(LoginTest, EveryUserLogsInAgainstTheStoreAndGetsTheirStyle) {
    std::filesystem::create_directories(tree.Path("config/style"));
    tree.WriteList("config/style/styles.lst", "style2:Second\n");
    tree.WriteList("config/style/style2.lst", "lowerFrameWidth:120\nmainBackcolor:#000000\n");
    struct Case {
        const char *settings, *query, *remoteUser;
        bool setUp;
        const char* refusal;  // null: logged in; "": the plain login form
        const char *uid = nullptr, *serverLogin = nullptr, *webmaster = nullptr, *style = nullptr,
                   *lowerFrame = nullptr;
    };
    const char* const usersChoose = "defaultStyle:style9\ndefaultOnly:false\n";
    const std::vector<Case> cases = {
        {"defaultStyle:style2\ndefaultOnly:TRUE\n", "login=eve&password=pw", "", true, nullptr, "u5", "FALSE",
         nullptr, "style2", "120,*"},
        {usersChoose, "", "eve-web", true, nullptr, "u5", "TRUE", nullptr, "style2", "120,*"},
        {usersChoose, "login=mal&password=x", "", true, nullptr, "u6", "FALSE", "TRUE", "style9", "90,*"},
        {"defaultStyle:style9\ndefaultOnly:yes\n", "login=eve&password=pw", "", true, nullptr, "u5", "FALSE",
         nullptr, "style9", "90,*"},
        {"", "login=eve&password=pw", "eve-web", false, "Cannot login as the application is not setup"},
        {"", "login=eve&password=bad", "", true, "Incorrect password, please try again"},
        {"", "login=nobody&password=pw", "stranger", true, "Incorrect username, please try again"},
        {"", "password=pw", "stranger", true, ""},
    };
    for (const Case& c : cases) {
        const std::string context = std::string(c.query) + " / " + c.remoteUser;
        FakeUsers users;
        users.setUp = c.setUp;
        // The application cannot hand a lent store back to a loader that has no
        // library for it; that must not end the process when it is destroyed.
        auto app = App(c.settings);
        app->userDB = &users;
        CaptureRequest request(c.query);
        request.remoteUser = strdup(c.remoteUser);
        ZarvoBaseCommon common(&request, app.get(), ZaFalse);
        EXPECT_EQ(common.style->id, -1);
        Page* page = common.UserAuthenticateAndLogin();
        if (c.refusal) {
            ASSERT_NE(page, nullptr) << context;
            const std::string shown = Render(page, &request);
            // The catalogue's heading, then the reason when there is one.
            const size_t reason = shown.find("<h2>", shown.find("<h2>") + 1);
            if (*c.refusal)
                EXPECT_NE(shown.find(std::string("<h2>") + c.refusal + "</h2>"), std::string::npos) << shown;
            else
                EXPECT_EQ(reason, std::string::npos) << shown;
            EXPECT_EQ(common.IsLoggedIn(), ZaFalse) << context;
            EXPECT_EQ(users.noted, "") << context;
            continue;
        }
        EXPECT_EQ(page, nullptr) << context;
        EXPECT_STREQ(common.GetMyUid(), c.uid) << context;
        EXPECT_EQ(users.noted, c.uid) << context;
        EXPECT_STREQ(request.FindCookie("ZarvoNetscapeLogin"), c.serverLogin) << context;
        EXPECT_STREQ(request.FindCookie("ZarvoIsWebmaster"), c.webmaster) << context;
        EXPECT_STREQ(common.style->name, c.style) << context;
        EXPECT_STREQ(common.style->lowerFrame->dimensions, c.lowerFrame) << context;
    }
}

TEST_F(LoginTest, SignedLoginKeepsNoWebmasterFlagTheBrowserBrought) {
    FakeUsers users;
    auto app = App("sessionSecurity:ZA_SIGNED\n");
    app->userDB = &users;
    CaptureRequest request("login=eve&password=pw", "ZarvoIsWebmaster=TRUE");
    ZarvoBaseCommon common(&request, app.get(), ZaFalse);
    EXPECT_EQ(common.UserAuthenticateAndLogin(), nullptr);
    EXPECT_EQ(common.IsLoggedIn(), ZaTrue);
    EXPECT_STREQ(request.FindCookie("ZarvoIsWebmaster"), "FALSE");
}

TEST_F(LoginTest, LoginPageHandlersOnlyForOldMozilla) {
    auto app = App();
    struct Case {
        int browserType;
        double version;
        bool handlers;
    };
    for (const Case& c : {Case{1, 3.0, true}, Case{1, 3.5, true}, Case{1, 4.0, false}, Case{2, 3.0, false}}) {
        CaptureRequest request("a=1&password=x&b=2&login=y");
        request.browserType = c.browserType;
        request.browserVersion = c.version;
        ZarvoBaseCommon common(&request, app.get(), ZaFalse);
        std::string page = Render(common.GenLoginPage(common.LoginTarget(), "Try again"), &request);
        const std::string context = std::to_string(c.browserType) + " " + std::to_string(c.version);
        EXPECT_NE(page.find("<h2>Operators only</h2>"), std::string::npos) << context;
        EXPECT_NE(page.find("<h2>Try again</h2>"), std::string::npos) << context;
        EXPECT_NE(page.find("action=\"login.cgi?a=1&b=2\""), std::string::npos) << page;
        EXPECT_NE(page.find("onLoad=\"document.loginform.login.focus();\""), std::string::npos) << context;
        for (const char* part : {"var loginFocussed = true;", "onFocus=\"loginOnFocus();\"",
                                 "onChange=\"checkAndSubmitForm('login');\"",
                                 "onChange=\"checkAndSubmitForm('passwd');\""})
            EXPECT_EQ(page.find(part) != std::string::npos, c.handlers) << context << " " << part;
    }
}

TEST_F(LoginTest, StoreSetUpErrorPageFollowsTheStoreKind) {
    ValList messages;
    messages.Prepend("server down");
    struct Case {
        const char* kind;
        bool ldapForm;
    };
    for (const Case& c : {Case{"ZA_ZARVO", false}, Case{"ZA_SQL", false}, Case{"ZA_LDAP", true}}) {
        auto app = App(std::string("empDirDBFormat:") + c.kind +
                       "\nldapServerName:ldap.example\nldapServerPort:389\nldapSearchBase:o=Example\n");
        CaptureRequest request;
        ZarvoAdminCommon admin(&request, app.get(), ZaFalse);
        std::string page = Render(admin.GenDBSetupErrorPage("No connection", &messages), &request);
        EXPECT_NE(page.find("server down"), std::string::npos) << c.kind;
        EXPECT_EQ(page.find("The following database error was reported. Please contact your database "
                            "administrator for help.") != std::string::npos,
                  !c.ldapForm)
            << c.kind;
        EXPECT_EQ(page.find("<h1>LDAP Configuration</h1>") != std::string::npos, c.ldapForm) << c.kind;
        if (!c.ldapForm) continue;
        EXPECT_LT(page.find("<b>No connection</b>"), page.find("<form")) << page;
        EXPECT_LT(page.find("<b>server down</b>"), page.find("<form"));
        // The administrator stays logged in, so that the form can be saved.
        EXPECT_EQ(page.find("Set-Cookie: ZarvoUserLoginTime=0;"), std::string::npos);
        for (const char* part : {"name=\"program\" value=\"updateLDAPSetupInfo\"",
                                 "name=\"machineNo\" size=\"20\" value=\"ldap.example\"",
                                 "name=\"portNo\" size=\"20\" value=\"389\""})
            EXPECT_NE(page.find(part), std::string::npos) << part << "\n" << page;
    }
}

TEST_F(LoginTest, LDAPSetupFormRefusesBadValuesAndKeepsTheSettings) {
    const std::string good = "machineNo=ldap.example&portNo=389&rootDN=cn%3Dadmin&searchBase=o%3DX";
    struct Case {
        const char* method;
        std::string query;
        const char* message;
        const char* session = "";
    } cases[] = {
        {"GET", good, "Please save the settings with the form."},
        {"POST", good, "This request was refused; nothing was changed.", "sessionSecurity:ZA_SIGNED\n"},
        {"POST", "portNo=389&rootDN=cn%3Dadmin&searchBase=o%3DX", "machine name"},
        {"POST", "machineNo=ldap%20example&portNo=389&rootDN=cn%3Dadmin&searchBase=o%3DX", "machine name"},
        {"POST", "machineNo=ldap.example&portNo=65536&rootDN=cn%3Dadmin&searchBase=o%3DX", "port number"},
        {"POST", "machineNo=ldap.example&portNo=38x&rootDN=cn%3Dadmin&searchBase=o%3DX", "port number"},
        {"POST", "machineNo=ldap.example&portNo=389&rootDN=admin&searchBase=o%3DX", "root DN"},
        {"POST", "machineNo=ldap.example&portNo=389&rootDN=cn%3Dadmin%0A&searchBase=o%3DX", "root DN"},
        {"POST", "machineNo=ldap.example&portNo=389&rootDN=cn%3Dadmin&searchBase=", "search base"},
    };
    for (const Case& c : cases) {
        auto app = App(std::string("empDirDBFormat:ZA_LDAP\nldapServerName:old.example\n") + c.session);
        CaptureRequest request(c.query + "&program=updateLDAPSetupInfo");
        request.requestMethod = strdup(c.method);
        ZarvoAdminCommon admin(&request, app.get(), ZaFalse);
        std::string page = Render(admin.HandleEvent("updateLDAPSetupInfo"), &request);
        EXPECT_NE(page.find(c.message), std::string::npos) << c.query << page;
        app->GetConfigDB()->Reload(ZaTrue);
        EXPECT_STREQ(app->GetConfigDB()->LDAPServerName(), "old.example") << c.query;
    }
}

TEST_F(LoginTest, HelpFramesNavigationBarAboutAndFeedback) {
    auto app = App("feedbackEmailAddress:fb@x.example\n");
    CaptureRequest request;
    ZarvoAdminCommon admin(&request, app.get(), ZaFalse);
    admin.Initialize();
    std::string frames = Render(admin.HandleEvent("APP_COMMON_PROG_HELP_TOP"), &request);
    EXPECT_NE(frames.find("rows=\"37,*\""), std::string::npos) << frames;
    EXPECT_LT(frames.find("src=\"login.cgi?program=app_common_prog_help_navbar\" name=\"about_navbar\""),
              frames.find("src=\"login.cgi?program=app_common_prog_about_zarvo\" name=\"about_main\""));
    std::string navbar = Render(admin.HandleEvent("app_common_prog_help_navbar"), &request);
    EXPECT_LT(navbar.find("href=\"login.cgi?program=app_common_prog_about_zarvo\""),
              navbar.find("href=\"login.cgi?program=app_common_prog_help_feedback\""))
        << navbar;
    std::unique_ptr<char, decltype(&free)> platform(ZaGetPlatform(), &free);
    std::string about = Render(admin.HandleEvent("app_common_prog_about_zarvo"), &request);
    for (const std::string& part : {"<h2>Server platform: " + std::string(platform.get()) + "</h2>",
                                    std::string("top.CurrentProg='Top'"), std::string("href=\"mailto:"),
                                    std::string("Use the Zarvo Feedback Form")})
        EXPECT_NE(about.find(part), std::string::npos) << part << "\n" << about;
    std::string feedback = Render(admin.HandleEvent("App_Common_Prog_Help_Feedback"), &request);
    EXPECT_NE(feedback.find("hzarvofeedback"), std::string::npos) << feedback;
    EXPECT_NE(feedback.find("href=\"mailto:fb@x.example\""), std::string::npos) << feedback;
}

}  // namespace
