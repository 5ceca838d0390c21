// Login and session without a store: the time-out arithmetic, the cookies a
// login reads and writes, the login page per browser, and the administrator
// layer's own checks and pages.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "frame_testing.h"
#include "zarvoadmin.h"
#include "zarvoclasses.h"

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

TEST_F(LoginTest, LogInIsSeenByTheRestOfTheRequest) {
    auto app = App("userSessionTimeOut:600\n");
    CaptureRequest fresh;
    ZarvoAdminCommon admin(&fresh, app.get(), ZaFalse);
    ASSERT_EQ(admin.IsLoggedIn(), ZaFalse);
    admin.LogIn("u7", ZaTrue, ZaTrue);
    EXPECT_EQ(admin.IsLoggedIn(), ZaTrue);
    EXPECT_STREQ(admin.GetMyUid(), "u7");
    EXPECT_STREQ(fresh.FindCookie("ZarvoNetscapeLogin"), "TRUE");
    long expiry = atol(fresh.FindCookie("ZarvoUserLoginTime"));
    EXPECT_NEAR(expiry, time(nullptr) + 600, 2);

    // A login without the webmaster flag leaves the flag as the request had it.
    CaptureRequest flagged("", "ZarvoIsWebmaster=KEEP");
    ZarvoBaseCommon common(&flagged, app.get(), ZaFalse);
    common.LogIn("u8", ZaFalse, ZaFalse);
    EXPECT_STREQ(flagged.FindCookie("ZarvoIsWebmaster"), "KEEP");
    EXPECT_STREQ(flagged.FindCookie("ZarvoNetscapeLogin"), "FALSE");
    EXPECT_STREQ(common.GetMyUid(), "u8");
}

TEST_F(LoginTest, PagesCarryRefreshedOrClearedCookies) {
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

    page = new ZaPage();
    common.LogPersonOut(page);
    EXPECT_NE(Render(page, &request).find("Set-Cookie: ZarvoUserLoginTime=0; path=/;\n"
                                          "Set-Cookie: ZarvoIsWebmaster=FALSE; path=/;\n"
                                          "Set-Cookie: ZarvoNetscapeLogin=FALSE; path=/;\n\n"),
              std::string::npos);
}

TEST_F(LoginTest, StyleComesFromTheConfigurationWhenUsersMayNotChoose) {
    std::filesystem::create_directories(tree.Path("config/style"));
    tree.WriteList("config/style/styles.lst", "style2:Second\n");
    tree.WriteList("config/style/style2.lst", "lowerFrameWidth:120\nmainBackcolor:#000000\n");
    struct Case {
        const char* settings;
        const char* name;
        const char* lowerFrame;
    };
    for (const Case& c : {Case{"defaultStyle:style2\ndefaultOnly:TRUE\n", "style2", "120,*"},
                          Case{"defaultStyle:style2\ndefaultOnly:yes\n", "style2", "120,*"},
                          Case{"defaultStyle:style9\ndefaultOnly:TRUE\n", "style9", "90,*"}}) {
        auto app = App(c.settings);
        CaptureRequest request;
        ZarvoBaseCommon common(&request, app.get(), ZaFalse);
        EXPECT_EQ(common.style->id, -1);
        // No store is asked: there is none to ask here.
        common.SetCurrentStyle(app.get(), "u1");
        EXPECT_STREQ(common.style->name, c.name) << c.settings;
        EXPECT_STREQ(common.style->lowerFrame->dimensions, c.lowerFrame) << c.settings;
    }
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
        for (const char* part : {"Set-Cookie: ZarvoUserLoginTime=0;", "name=\"program\" value=\"updateLDAPSetupInfo\"",
                                 "name=\"machineNo\" size=\"20\" value=\"ldap.example\"",
                                 "name=\"portNo\" size=\"20\" value=\"389\""})
            EXPECT_NE(page.find(part), std::string::npos) << part << "\n" << page;
    }
}

TEST_F(LoginTest, HelpFramesAndNavigationBar) {
    auto app = App();
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
}

}  // namespace
