// The installed console, request by request: login and its cookies, login
// through the web server, the bug report page and the log, and a randomized
// run of hostile requests.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

const char kLoginForm[] = "name=\"loginform\"";

// Past the login check: a console page, with the login refreshed.
bool PastLogin(const CgiResult& r) {
    return r.status == 0 && !r.Contains(kLoginForm) && r.HasCookie("ZarvoUidCookie");
}

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(tree.Problem(), "");
        tree.AddAccount("u1", "Ann Admin", "ann", "secret", true);
        tree.AddAccount("u2", "Bob User", "bob", "pw2", false);
    }
    void TearDown() override { tree.RestoreConfig(); }

    // Cookies of a login that is still valid for the default time-out.
    static std::string Admin() {
        return "ZarvoUidCookie=u1; ZarvoIsWebmaster=TRUE; ZarvoUserLoginTime=" +
               std::to_string(time(nullptr) + 100);
    }
    E2EInstall& tree = E2EInstall::Shared();
};

TEST_F(ConsoleTest, LoginFormRefusalsEachHaveTheirMessage) {
    struct Case {
        std::string body, message;
    };
    const std::vector<Case> cases = {
        {"login=nobody&password=secret", "Incorrect username, please try again"},
        {"login=ann&password=wrong", "Incorrect password, please try again"},
        {"login=bob&password=pw2", "You are not on the list of valid administrators."},
        {"login=bob&password=wrong", "You are not on the list of valid administrators."},
    };
    for (const Case& c : cases) {
        CgiResult r = tree.Run(CgiRequest::Post(c.body));
        EXPECT_EQ(r.status, 0) << c.body;
        EXPECT_TRUE(r.Contains("<h2>" + c.message + "</h2>")) << c.body << "\n" << r.out;
        EXPECT_FALSE(r.HasCookie("ZarvoUidCookie")) << c.body;
    }
    // The form's target keeps every parameter but the first login and password.
    CgiResult r = tree.Run(CgiRequest::Post("keep=x+y&login=ann&password=wrong&login=two", "q=%3C1%3E"));
    EXPECT_TRUE(r.Contains("action=\"operadmin.cgi?keep=x%20y&login=two&q=%3C1%3E\"")) << r.out;
}

TEST_F(ConsoleTest, AdministratorLoginSetsTheFourCookies) {
    struct Case {
        const char* timeout;
        long offset;  // expected expiry minus the request time
    };
    for (const Case& c : {Case{"1800", 1800}, Case{"0", 0}}) {
        tree.WriteConfig(std::string("userSessionTimeOut:") + c.timeout + "\n");
        long before = time(nullptr);
        CgiResult r = tree.Run(CgiRequest::Post("login=ann&password=secret"));
        long after = time(nullptr);
        EXPECT_TRUE(PastLogin(r)) << r.out;
        EXPECT_EQ(r.Cookie("ZarvoUidCookie"), "u1");
        EXPECT_EQ(r.Cookie("ZarvoIsWebmaster"), "TRUE");
        EXPECT_EQ(r.Cookie("ZarvoNetscapeLogin"), "FALSE");
        long expiry = atol(r.Cookie("ZarvoUserLoginTime").c_str());
        EXPECT_GE(expiry, before + c.offset) << c.timeout;
        EXPECT_LE(expiry, after + c.offset) << c.timeout;
    }
}

TEST_F(ConsoleTest, ExpiryCookieFollowsTheTimeOut) {
    struct Case {
        const char* timeout;
        std::string expiry;
        bool loggedIn;
    };
    auto ahead = [](long seconds) { return std::to_string(time(nullptr) + seconds); };
    const std::vector<Case> cases = {
        {"1800", ahead(-100), false}, {"1800", ahead(1000), true}, {"1800", ahead(2000), false},
        {"1800", "0", false},         {"1800", "junk", false},     {"0", "12345", true},
        {"0", "0", false},            {"-5", ahead(-99999), true},
    };
    // An empty user id names nobody, whatever the expiry says.
    tree.WriteConfig("userSessionTimeOut:0\n");
    EXPECT_FALSE(PastLogin(tree.Run(CgiRequest::Get("", "ZarvoUidCookie=; ZarvoIsWebmaster=TRUE; ZarvoUserLoginTime=9"))));
    for (const Case& c : cases) {
        tree.WriteConfig(std::string("userSessionTimeOut:") + c.timeout + "\n");
        CgiResult r = tree.Run(CgiRequest::Get(
            "", "ZarvoUidCookie=u1; ZarvoIsWebmaster=TRUE; ZarvoUserLoginTime=" + c.expiry));
        EXPECT_EQ(PastLogin(r), c.loggedIn) << c.timeout << " " << c.expiry << "\n" << r.out;
        EXPECT_EQ(r.Contains(kLoginForm), !c.loggedIn) << c.timeout << " " << c.expiry;
    }
}

TEST_F(ConsoleTest, WebServerLoginOnlyForKnownAdministrators) {
    struct Case {
        const char* remoteUser;
        bool loggedIn;
    };
    for (const Case& c : {Case{"ann", true}, Case{"u1", true}, Case{"bob", false}, Case{"nobody", false},
                          Case{"  ", false}}) {
        CgiRequest request;
        request.remoteUser = c.remoteUser;
        CgiResult r = tree.Run(request);
        EXPECT_EQ(PastLogin(r), c.loggedIn) << c.remoteUser << "\n" << r.out;
        EXPECT_EQ(r.Cookie("ZarvoNetscapeLogin"), c.loggedIn ? "TRUE" : "") << c.remoteUser;
        EXPECT_EQ(r.Cookie("ZarvoUidCookie"), c.loggedIn ? "u1" : "") << c.remoteUser;
    }
}

TEST_F(ConsoleTest, EveryPageRefreshesTheLoginButTheLogoutPage) {
    for (const char* event : {"", "front", "app_common_prog_help_top", "app_common_prog_about_zarvo",
                              "app_common_prog_help_feedback", "app_common_prog_help_navbar", "noSuchEvent"}) {
        CgiResult r = tree.Run(CgiRequest::Get(std::string("program=") + event, Admin()));
        EXPECT_EQ(r.status, 0) << event;
        EXPECT_EQ(r.Cookie("ZarvoUidCookie"), "u1") << event << "\n" << r.out;
        EXPECT_GT(atol(r.Cookie("ZarvoUserLoginTime").c_str()), time(nullptr) + 10000) << event;
    }
    for (const char* logout : {"app_common_prog_logout", "APP_COMMON_PROG_LOGOUT"}) {
        CgiResult r = tree.Run(CgiRequest::Get(std::string("program=") + logout, Admin()));
        EXPECT_TRUE(r.Contains("<h2>You have been logged out</h2>")) << r.out;
        EXPECT_EQ(r.Cookie("ZarvoUserLoginTime"), "0");
        EXPECT_EQ(r.Cookie("ZarvoIsWebmaster"), "FALSE");
        EXPECT_EQ(r.Cookie("ZarvoNetscapeLogin"), "FALSE");
        EXPECT_FALSE(r.HasCookie("ZarvoUidCookie"));
    }
}

TEST_F(ConsoleTest, UnknownEventGivesTheBugReportAndIsLogged) {
    CgiResult r = tree.Run(CgiRequest::Get("program=noSuch%3CEvent%3E", Admin()));
    EXPECT_TRUE(r.Contains("<h1>Bug Report Form</h1>")) << r.out;
    EXPECT_TRUE(r.Contains("Bad program name noSuch&lt;Event&gt;")) << r.out;
    EXPECT_NE(tree.ReadLog().find(":OperAdmin:ZA_ERROR:Error : line 136 in file zarvolib/src/zarvoevents : "
                                  "Bad program name noSuch<Event>"),
              std::string::npos)
        << tree.ReadLog();
}

TEST_F(ConsoleTest, MissingStorePluginGivesTheLoaderTrace) {
    const auto plugin = tree.Top() / "lib" / "zafiledblib_cgi.so";
    const auto aside = tree.Top() / "lib" / "aside.so";
    std::filesystem::rename(plugin, aside);
    CgiResult r = tree.Run(CgiRequest::Get(""));
    std::filesystem::rename(aside, plugin);
    EXPECT_TRUE(r.Contains("<h1>Bug Report Form</h1>")) << r.out;
    EXPECT_TRUE(r.Contains("dblib/src/userDB : ZaCreateUserDB() failed!")) << r.out;
    EXPECT_TRUE(r.Contains("zarvolib/src/zarvobase : Error in ZarvoBaseApp::GetUserDB")) << r.out;
}

// Random requests built from hostile pieces: none may crash the program,
// break its header block, or leave anything beside the installed tree.
TEST_F(ConsoleTest, RandomRequestsNeitherCrashNorWriteOutside) {
    const unsigned seed = static_cast<unsigned>(time(nullptr));
    std::mt19937 random(seed);
    const std::vector<std::string> pieces = {
        "program", "login", "password", "ann", "secret", "front", "app_common_prog_logout",
        "app_common_prog_help_top", "APP_COMMON_PROG_HELP_NAVBAR", "..%2F..%2F..%2F..%2Foutside%2Fx",
        "../../../../outside/y", "%0D%0ASet-Cookie:%20x=1", "%00", "%ZZ", "=", "&&", ";", "%25",
        "ZarvoUidCookie", "ZarvoUserLoginTime", "ZarvoIsWebmaster", "TRUE", "99999999999999999999",
        "-1", std::string(3000, 'A'), "\"", "<script>", "style", "u1", "%C3%A9"};
    auto piece = [&] { return pieces[random() % pieces.size()]; };
    auto pairs = [&](const char* join) {
        std::string text;
        for (int i = random() % 6; i > 0; --i) text += piece() + "=" + piece() + join;
        return text;
    };
    for (int i = 0; i < 40; ++i) {
        CgiRequest request = random() % 2 ? CgiRequest::Get(pairs("&")) : CgiRequest::Post(pairs("&"), pairs("&"));
        request.cookies = random() % 3 ? pairs("; ") : Admin() + "; " + pairs("; ");
        if (random() % 4 == 0) request.remoteUser = piece();
        if (random() % 8 == 0) request.userAgent = "Mozilla/3.0 (X11)";
        if (random() % 10 == 0) request.contentType = "multipart/form-data; boundary=" + piece();
        CgiResult r = tree.Run(request);
        const std::string context = "seed " + std::to_string(seed) + " request " + std::to_string(i);
        ASSERT_EQ(r.status, 0) << context;
        ASSERT_EQ(r.out.rfind("Content-type: ", 0), 0u) << context << "\n" << r.out.substr(0, 500);
        std::istringstream headers(r.Headers());
        for (std::string line; std::getline(headers, line);)
            EXPECT_NE(line.find(": "), std::string::npos) << context << " header: " << line;
    }
    EXPECT_TRUE(std::filesystem::is_empty(tree.Outside()));
}

}  // namespace
