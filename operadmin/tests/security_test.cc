// The installed console as an attacker meets it, with signed sessions: forged
// and tampered cookies, actions without their token or from another site, a
// login that carries an action, the clean-up of a current person, throttled
// logins, the audit trail, forged log lines, and the modes of the files the
// console makes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "../../zarvolib/tests/e2e_harness.h"

namespace {

namespace fs = std::filesystem;

const char kRefused[] = "This request was refused; nothing was changed.";

E2EInstall& Tree() { return E2EInstall::Shared(); }

CgiResult Get(const std::string& query, const std::string& cookies, std::vector<std::string> env = {}) {
    CgiRequest request = CgiRequest::Get(query, cookies);
    request.extraEnv = env;
    return Tree().Run(request);
}

// The cookies a browser sends back after this response, over those it had.
std::string Cookies(const CgiResult& r, std::map<std::string, std::string> had = {}) {
    for (auto& [name, value] : r.Cookies()) had[name] = value;
    std::string text;
    for (auto& [name, value] : had) text += (text.empty() ? "" : "; ") + name + "=" + value;
    return text;
}

std::string LogIn(const std::string& login, const std::string& password) {
    return Cookies(Tree().Run(CgiRequest::Post("login=" + login + "&password=" + password)));
}

// The first anti-forgery token on a page, "" when there is none.
std::string TokenOn(const std::string& page) {
    std::smatch found;
    return std::regex_search(page, found, std::regex("zatoken=([0-9a-f]{32})")) ? found[1].str() : "";
}

bool LoggedIn(const std::string& cookies) { return !Get("program=navbar", cookies).Contains("loginform"); }

int AuditLines(const std::string& action, const std::string& outcome) {
    std::istringstream lines(E2EInstall::ReadText(Tree().Top() / "logs" / "audit.log"));
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        count += line.find("\t" + action + "\t") != std::string::npos && line.find("\t" + outcome) != std::string::npos;
    return count;
}

class Security : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(Tree().Problem(), "");
        Tree().WriteConfig("sessionSecurity:ZA_SIGNED\nlogLevel:ZA_INFO\n");
        Tree().AddAccount("op", "Olga Operator", "olga", "operator-pw", true);
        Tree().AddAccount("cur", "Carl Current", "carl", "carl-pw", false);
        Tree().AddAccount("tes", "Tess Tried", "tess", "tess-pw", true);
        Tree().AddAccount("gone", "Gil Gone", "gil", "gil-pw", true);
        Tree().AddAccount("lv", "Lea Leaver", "lea", "lea-pw", false);
        Tree().AddAccount("lw", "Lou Leaver", "lou", "lou-pw", false);
        Tree().AddPerson("np", "Nina New");
        Tree().Zastore({"group", "add", "gd", "Doomed", "--owner", "cur", "--shared", "--member", "cur"});
        Tree().Zastore({"person", "remove", "lv"});
        Tree().Zastore({"person", "remove", "lw"});
        Tree().Zastore({"person", "remove", "gone"});
    }
    static void TearDownTestSuite() { Tree().RestoreConfig(); }
};

TEST_F(Security, OnlyAnUntouchedLiveSessionIsLoggedIn) {
    const std::string real = LogIn("olga", "operator-pw");
    ASSERT_TRUE(LoggedIn(real)) << real;
    auto with = [&](const std::string& name, const std::string& value) {
        std::regex cookie(name + "=[^;]*");
        return std::regex_replace(real, cookie, name + "=" + value);
    };
    const std::string session = Get("program=navbar", real).Cookie("ZarvoSession");
    std::string flipped = session;
    flipped.back() = flipped.back() == '0' ? '1' : '0';
    const std::string forged = "ZarvoUidCookie=op; ZarvoIsWebmaster=TRUE; ZarvoUserLoginTime=" +
                               std::to_string(time(nullptr) + 60);
    for (const std::string& cookies : {forged, forged + "; ZarvoSession=" + session, with("ZarvoUidCookie", "cur"),
                                       with("ZarvoUserLoginTime", std::to_string(time(nullptr) + 100)),
                                       with("ZarvoSession", flipped)})
        EXPECT_FALSE(LoggedIn(cookies)) << cookies;

    const CgiResult navbar = Get("program=navbar", real);
    for (const char* header : {"Cache-Control: no-store", "X-Content-Type-Options: nosniff",
                               "Referrer-Policy: same-origin", "frame-ancestors 'self'; form-action 'self'",
                               "Set-Cookie: ZarvoSession=", "; path=/; HttpOnly; SameSite=Strict\n"})
        EXPECT_NE(navbar.Headers().find(header), std::string::npos) << header << "\n" << navbar.Headers();
    const CgiResult https =
        Get("program=navbar", real, {"HTTPS=on", "SCRIPT_NAME=/zarvo/admin/bin/operadmin.cgi"});
    EXPECT_NE(https.Headers().find("; path=/zarvo/; HttpOnly; SameSite=Strict; Secure\n"), std::string::npos)
        << https.Headers();

    // A logout ends the session on the server: its cookies, kept, are worth nothing.
    const std::string logout = TokenOn(navbar.out);
    EXPECT_TRUE(Get("program=app_common_prog_logout&zatoken=" + logout, real).Contains("You have been logged out"));
    EXPECT_FALSE(LoggedIn(real));
    EXPECT_EQ(AuditLines("logout", "ok"), 1);
}

// Each action: the page that offers it, the request, and a probe that tells
// whether it happened.
TEST_F(Security, ActionsNeedTheirSessionsTokenAndThisSite) {
    struct Action {
        const char *name, *offeredBy, *query, *post, *probeQuery, *happened, *auditAction;
    } actions[] = {
        {"operOnGroup", "program=genGroupResUsage&uid=gd", "program=operOnGroup&operation=delete&uid=gd&fromPage=gid_res",
         nullptr, "program=genGroupResUsage&uid=gd", "This group is no longer available", "delete group"},
        {"operOnUser", "program=genUidResUsage&uid=lv", "program=operOnUser&operation=remove&uid=lv", nullptr,
         "program=genDeletedUsersPage", "!uid=lv", "clean up account"},
        {"createNewAccountProcess", "program=createNewAccount", "program=createNewAccountProcess",
         "uid=np&login=nina&password1=nina-password&password2=nina-password", "program=genUid2NamePage", "nina",
         "create account"},
        {"operOnLogFile", "program=genLogFileOperPage", "program=operOnLogFile&operation=purge", nullptr,
         "program=genViewLogFilePage&sub_program=show&msg_type=All", "log file = 0 Bytes", "purge log"},
    };
    const std::string cookies = LogIn("olga", "operator-pw");
    auto run = [&](const Action& a, const std::string& token, std::vector<std::string> env) {
        std::string query = std::string(a.query) + (token.empty() ? "" : "&zatoken=" + token);
        if (!a.post) return Get(query, cookies, env);
        CgiRequest post = CgiRequest::Post(a.post, query);
        post.cookies = cookies;
        post.extraEnv = env;
        return Tree().Run(post);
    };
    auto happened = [&](const Action& a) {
        const bool absent = a.happened[0] == '!';
        return Get(a.probeQuery, cookies).Contains(a.happened + absent) != absent;
    };
    for (const Action& a : actions) {
        const std::string token = TokenOn(Get(a.offeredBy, cookies).out);
        ASSERT_EQ(token.size(), 32u) << a.name;
        ASSERT_FALSE(happened(a)) << a.name;
        const std::string otherToken = TokenOn(Get("program=genLogFileOperPage", LogIn("olga", "operator-pw")).out);
        for (auto [given, env] : std::vector<std::pair<std::string, std::vector<std::string>>>{
                 {"", {}},
                 {otherToken, {}},
                 {token, {"HTTP_ORIGIN=http://evil.example"}},
                 {token, {"HTTP_REFERER=http://evil.example/page.html"}}}) {
            EXPECT_TRUE(run(a, given, env).Contains(kRefused)) << a.name << " " << given;
            EXPECT_FALSE(happened(a)) << a.name << " " << given;
        }
        const CgiResult done = run(a, token, {"HTTP_ORIGIN=http://localhost"});
        EXPECT_FALSE(done.Contains(kRefused)) << a.name << done.out;
        EXPECT_TRUE(happened(a)) << a.name;
        EXPECT_EQ(AuditLines(a.auditAction, "ok"), 1) << a.name;
        EXPECT_EQ(AuditLines(a.name, "refused: "), 4) << a.name;
    }
}

TEST_F(Security, ALoginNeverPerformsTheActionItCarries) {
    const std::string offered = TokenOn(Get("program=genLogFileOperPage", LogIn("olga", "operator-pw")).out);
    for (const std::string& token : {std::string(""), offered}) {
        CgiResult r = Tree().Run(CgiRequest::Post("login=olga&password=operator-pw",
                                                  "program=operOnUser&operation=remove&uid=cur&zatoken=" + token));
        EXPECT_TRUE(r.Contains("Carl Current")) << r.out;  // the user's page, which offers the action
        EXPECT_FALSE(r.Contains(kRefused));
    }
    // With its token the request still may not clean up a person in the directory.
    const std::string cookies = LogIn("olga", "operator-pw");
    const std::string token = TokenOn(Get("program=genUidResUsage&uid=lw", cookies).out);
    CgiResult current = Get("program=operOnUser&operation=remove&uid=cur&zatoken=" + token, cookies);
    EXPECT_TRUE(current.Contains("still in the directory")) << current.out;
    EXPECT_TRUE(Get("program=genUid2NamePage", cookies).Contains("carl"));
}

TEST_F(Security, FailedLoginsBackOffAndEveryLoginIsAudited) {
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(Tree().Run(CgiRequest::Post("login=tess&password=wrong")).Contains("Incorrect password"));
    CgiResult sixth = Tree().Run(CgiRequest::Post("login=tess&password=tess-pw"));
    EXPECT_TRUE(sixth.Contains("Too many failed logins")) << sixth.out;
    EXPECT_FALSE(sixth.HasCookie("ZarvoSession"));
    EXPECT_TRUE(LoggedIn(LogIn("olga", "operator-pw")));  // others may still come in
    // An administrator whose person has left the directory is no operator.
    EXPECT_TRUE(Tree().Run(CgiRequest::Post("login=gil&password=gil-pw")).Contains("not in the directory"));
    EXPECT_EQ(AuditLines("login", "failed: wrong password"), 5);
    EXPECT_EQ(AuditLines("login", "refused: too many failures"), 1);
    EXPECT_EQ(AuditLines("login", "refused: not in the directory"), 1);
}

TEST_F(Security, NoRequestTextForgesOrSplitsALogRecord) {
    const std::string longName(5000, 'x');
    for (const std::string& program : {std::string("x%0D%0AFORGED:OperAdmin:ZA_AUDIT:forged"), longName}) {
        Get("program=" + program, LogIn("olga", "operator-pw"));
        Tree().Run(CgiRequest::Post("login=" + program + "&password=p"));
        // With plain cookies the user ID cookie itself reaches both logs.
        Tree().WriteConfig("sessionSecurity:ZA_PLAIN\nlogLevel:ZA_INFO\n");
        Get("program=app_common_prog_logout", "ZarvoUidCookie=" + program + "; ZarvoIsWebmaster=TRUE");
        Tree().WriteConfig("sessionSecurity:ZA_SIGNED\nlogLevel:ZA_INFO\n");
    }
    EXPECT_NE(Tree().ReadLog().find(" logged out"), std::string::npos);
    for (const fs::path& log : {Tree().LogFile(), Tree().Top() / "logs" / "audit.log"}) {
        std::istringstream lines(E2EInstall::ReadText(log));
        for (std::string line; std::getline(lines, line);) {
            EXPECT_NE(line.compare(0, 6, "FORGED"), 0) << log;
            EXPECT_LT(line.size(), 1023u) << log;
            EXPECT_EQ(line.find_first_not_of('x'), 0u) << log;  // no piece of a cut record
        }
    }
}

TEST_F(Security, FilesAreTheInstallationsOwnWhateverTheUmask) {
    const fs::path top = Tree().Top();
    for (mode_t mask : {mode_t(000), mode_t(077)}) {
        for (const char* made : {"config/sessionSecret", "config/loginThrottle", "config/revokedSessions",
                                 "logs/audit.log", "logs/zalogfile"})
            fs::remove_all(top / made);
        mode_t old = umask(mask);
        Tree().Run(CgiRequest::Post("login=tess&password=wrong"));
        const std::string cookies = LogIn("olga", "operator-pw");
        Get("program=app_common_prog_logout&zatoken=" + TokenOn(Get("program=navbar", cookies).out), cookies);
        umask(old);
        for (const char* secret : {"config/sessionSecret", "config/loginThrottle"})
            EXPECT_EQ(fs::status(top / secret).permissions(), fs::perms(0600)) << secret << " " << mask;
        ASSERT_TRUE(fs::exists(top / "config/revokedSessions"));
        for (auto& revoked : fs::directory_iterator(top / "config/revokedSessions"))
            EXPECT_EQ(revoked.status().permissions(), fs::perms(0600)) << mask;
        for (const char* log : {"logs/audit.log", "logs/zalogfile"})
            EXPECT_EQ(fs::status(top / log).permissions(), fs::perms(0640 & ~mask)) << log << " " << mask;
        for (const char* folder : {"config", "logs"}) {
            for (auto& entry : fs::directory_iterator(top / folder)) {
                if (entry.path().extension() != ".lck") continue;
                EXPECT_EQ(entry.status().permissions() & fs::perms::others_write, fs::perms::none) << entry.path();
            }
        }
    }
}

}  // namespace
