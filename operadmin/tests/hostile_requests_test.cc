// Hostile requests against every console event, logged in as an
// administrator: missing, empty, huge, negative and non-numeric values,
// unknown choices, IDs that do not exist or try to leave the tree, markup,
// escapes and control bytes, repeated parameters, GET, URL-encoded and
// multipart posts. The run is randomized but repeatable (fixed seed). No
// request may crash the program, trip a sanitizer, break the header block,
// echo injected markup, or create anything outside the installed tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <random>
#include <regex>

#include "../../zarvolib/tests/e2e_harness.h"

namespace {

namespace fs = std::filesystem;

constexpr unsigned kSeed = 20261206;
constexpr int kRequests = 300;
// Every path-like value names this, so a file it creates anywhere is found.
const char kMark[] = "hostile_mark";

E2EInstall& Tree() { return E2EInstall::Shared(); }

// The events of the console with the parameters each reads, again with the
// fixed choices (URL-encoded) that make a page show a value it was given,
// then names that match none of them.
struct Event {
    const char* name;
    std::vector<const char*> params;
    std::vector<std::pair<std::string, std::string>> fixed = {};
};
const std::vector<Event> kEvents = {
    {"front", {}},
    {"navbar", {}},
    {"genManageUsersPage", {}},
    {"genManagerUsersNavbar", {}},
    {"resSearchCondPage", {"selector"}},
    {"genResUsagePage", {"res_type", "selection", "fromPage", "users", "ubytes", "groups", "gbytes", "oper_uid_val"}},
    {"genResUsageHeading", {"res_type", "selection", "users", "ubytes", "groups", "gbytes"}},
    {"genUserDiskUsage", {"selection", "users", "ubytes", "oper_uid_val"}},
    {"genUidResUsage", {"uid"}},
    {"groupResSearchCondPage", {"selector"}},
    {"genGroupDiskUsage", {"fromPage", "selection", "gname", "selectedOwner", "ifSelected", "groups", "gbytes"}},
    {"genGroupResUsage", {"uid", "fromPage"}},
    {"genGroupOwnedPage", {"uid"}},
    {"operOnGroup", {"operation", "uid", "fromPage", "orig_owner", "selection"}},
    {"genViewLogFileSplitPage", {}},
    {"genViewLogFileChoicePage", {}},
    {"genViewLogFileStartMsgPage", {}},
    {"genViewLogFilePage", {"sub_program", "msg_type", "days"}},
    {"genLogFileOperPage", {}},
    {"operOnLogFile", {"operation"}},
    {"genDeletedUsersPage", {}},
    {"operOnUser", {"operation", "uid"}},
    {"genUid2NamePage", {"last_count"}},
    {"createNewAccount", {}},
    {"createNewAccountProcess", {"uid", "login", "password1", "password2"}},
    {"genResUsageHeading", {"users"}, {{"res_type", "users"}, {"selection", "top_u"}}},
    {"genResUsageHeading", {"gbytes"}, {{"res_type", "groups"}, {"selection", "gt_g"}}},
    {"genResUsagePage", {"oper_uid_val"}, {{"res_type", "users"}, {"selection", "select_u"}}},
    {"genUserDiskUsage", {"oper_uid_val"}, {{"selection", "select_u"}}},
    {"genGroupDiskUsage", {"gname"}, {{"selection", "group_name"}}},
    {"genGroupDiskUsage", {"selectedOwner"}, {{"selection", "group_owner"}, {"ifSelected", "TRUE"}}},
    {"genGroupResUsage", {"uid"}, {{"fromPage", "group_owned"}}},
    {"operOnGroup", {"uid", "fromPage", "orig_owner", "selection"}, {{"operation", "commit"}}},
    {"operOnGroup", {"uid", "orig_owner"}, {{"operation", "chgowner"}, {"fromPage", "gid_res"}}},
    {"genViewLogFilePage", {"msg_type", "days"}, {{"sub_program", "show"}}},
    {"genViewLogFilePage", {}, {{"sub_program", "show"}, {"msg_type", "All"}}},
    {"createNewAccountProcess", {"uid", "login"}, {{"password1", "a"}, {"password2", "a"}}},
    {"NoSuchEvent", {"uid", "operation"}},
    {"%3Cscript%3Ealert(7301)%3C/script%3E", {}},
    {"%22%3E%3Cimg+src%3Dx+onerror%3Dalert(7302)%3E", {"uid"}},
    {"x%0D%0A12:00:00:Fake:ZA_BOGUS:%01%0A:::%0A", {}},
    {"gEnReSuSaGePaGeX", {"res_type"}},
    {"APP_common_PROG_help_TOP", {}},
    {"..%2F..%2F..%2F..%2F..%2Fhostile_mark", {}},
};

const std::vector<std::string> kIds = {"u1", "u2", "lv", "lw", "g1", "g2", "g3", "ghost", "U1"};
const std::vector<std::string> kNumbers = {"0", "1", "100", "1000", "-1", "7"};

// Plausible values by parameter (URL-encoded); the operator's own account is
// left out so that the run stays logged in.
const std::map<std::string, std::vector<std::string>> kPlausible = {
    {"res_type", {"users", "groups", "USERS", "disks"}},
    {"selection", {"all_u", "top_u", "gt_u", "deleted_u", "select_u", "all_g", "group_name", "group_owner", "top_g",
                   "gt_g", "GT_G", "u2", "sideways"}},
    {"fromPage", {"resSearchCondPage", "groupResSearchCondPage", "group_res", "group_owned", "gid_res", "elsewhere"}},
    {"users", kNumbers}, {"ubytes", kNumbers}, {"groups", kNumbers}, {"gbytes", kNumbers}, {"last_count", kNumbers},
    {"days", kNumbers}, {"oper_uid_val", kIds}, {"uid", kIds}, {"orig_owner", kIds}, {"selectedOwner", kIds},
    {"selector", {"1", ""}}, {"ifSelected", {"TRUE", "FALSE", "maybe"}}, {"gname", {"Alpha", "a", "%25"}},
    {"operation", {"remove", "delete", "chgowner", "commit", "archive", "purge", "REMOVE", "Purge", "shred"}},
    {"sub_program", {"split", "show", "SPLIT", "twist"}},
    {"msg_type", {"All", "ZA_ERROR", "ZA_WARNING", "ZA_AUDIT", "ZA_INFO", "za_info", "ZA_PANIC"}},
    {"login", {"x", "una", "olga"}}, {"password1", {"pw", "Pw"}}, {"password2", {"pw", "PW"}},
};

std::string Repeat(const std::string& piece, size_t bytes) {
    std::string text;
    while (text.size() < bytes) text += piece;
    return text;
}

// Hostile values, URL-encoded; the markers alert(7301) and alert(7302) must
// never reach a page as live markup.
const std::vector<std::string> kHostile = {
    "", std::string(10240, 'A'), Repeat("%3Cscript%3Ealert(7301)%3C/script%3E", 10240), "-1", "-99999999999999999999",
    "99999999999999999999", "18446744073709551617", "abc", "12abc", "0x7f", "1e9", "+-+5", "%20%2042",
    "../../../../../hostile_mark", "..%2F..%2F..%2F..%2F..%2Fhostile_mark", "../../../../outside/hostile_mark",
    "%2Fhostile_mark", "<script>alert(7301)</script>", "%27%22%3E%3Cscript%3Ealert(7301)%3C%2Fscript%3E",
    "%22%3E%3Cimg+src%3Dx+onerror%3Dalert(7302)%3E", "'\"><ScRiPt>alert(7301)</ScRiPt>", "%253Cscript%253E",
    "%", "%4", "%zz", "%00", "u1%00hostile_mark", "%01%02%1B%7F%08", "%0D%0ASet-Cookie:+hostile_mark=1",
    "%FF%FE%C3", "'", "%27)%3Balert(7303)%3B(%27", "a%09b", "+++", "%5C", "g1%0A", ":", "u1:u2:::",
};

// URL decoding for the multipart form, where values travel as they are.
std::string Decode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

class HostileRequests : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(Tree().Problem(), "");
        E2EInstall& t = Tree();
        t.AddAccount("op", "Olga Operator", "olga", "pw", true);
        t.AddAccount("u1", "Una One", "una", "pw", false);
        t.AddAccount("u2", "Udo Two", "udo", "pw", false);
        t.AddAccount("lv", "Leaver Vee", "lv", "pw", false);
        t.AddAccount("lw", "Leaver Wes", "lw", "pw", false);
        t.Zastore({"group", "add", "g1", "Alpha Team", "--owner", "u1", "--shared", "--member", "u1", "--member", "u2",
                   "--member", "lv"});
        t.Zastore({"group", "add", "g2", "Beta Club", "--owner", "lv", "--member", "lv"});
        t.Zastore({"group", "add", "g3", "Gamma", "--owner", "lv", "--shared", "--member", "lv", "--member", "u2"});
        t.Zastore({"usage", "add", "--user", "u1", "1000"});
        t.Zastore({"usage", "add", "--group", "g1", "700"});
        t.Zastore({"hotlist", "add", "u1", "--person", "u2"});
        t.Zastore({"document", "add", "g1", "plan.txt"});
        for (const char* leaver : {"lv", "lw"}) t.Zastore({"person", "remove", leaver});
        t.WriteConfig("logLevel:ZA_INFO\n");
    }
    static void TearDownTestSuite() { Tree().RestoreConfig(); }

    std::mt19937 random{kSeed};
    size_t Pick(size_t n) { return random() % n; }
    bool Chance(int percent) { return static_cast<int>(random() % 100) < percent; }
    std::string Any(const std::vector<std::string>& values) { return values[Pick(values.size())]; }

    std::string OddCase(std::string name) {
        for (char& c : name)
            if (Chance(50)) c = static_cast<char>(isupper(static_cast<unsigned char>(c)) ? tolower(c) : toupper(c));
        return name;
    }
    std::string Value(const std::string& param) {
        auto plausible = kPlausible.find(param);
        if (plausible != kPlausible.end() && Chance(45)) return Any(plausible->second);
        return Any(kHostile);
    }
    // name=value pairs (URL-encoded) for one request; parameters may be
    // missing or repeated.
    std::vector<std::pair<std::string, std::string>> Params(const Event& event) {
        std::vector<std::pair<std::string, std::string>> params;
        std::string program = event.name;
        if (Chance(30)) program = OddCase(program);
        params.push_back({"program", program});
        params.insert(params.end(), event.fixed.begin(), event.fixed.end());
        for (const char* name : event.params) {
            if (Chance(15)) continue;
            for (int copies = Chance(15) ? 2 + static_cast<int>(Pick(2)) : 1; copies > 0; --copies)
                params.push_back({name, Value(name)});
        }
        if (Chance(20)) params.push_back({"uid", Value("uid")});
        // Shuffled by hand: std::shuffle may differ between standard libraries.
        for (size_t i = params.size() - 1; i > 1; --i) std::swap(params[i], params[1 + Pick(i)]);
        // A second program parameter; when it comes first it is the event.
        if (Chance(10)) params.insert(Chance(50) ? params.begin() : params.end(), {"program", Any(kHostile)});
        return params;
    }
    static std::string Joined(const std::vector<std::pair<std::string, std::string>>& params) {
        std::string text;
        for (const auto& [name, value] : params) text += (text.empty() ? "" : "&") + name + "=" + value;
        return text;
    }
    std::string Multipart(const std::vector<std::pair<std::string, std::string>>& params, const std::string& boundary) {
        std::string body;
        for (const auto& [name, value] : params)
            body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
                    Decode(value) + "\r\n";
        if (Chance(30))
            body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"upload\"; filename=\"" +
                    "../../../../../" + kMark + ".txt\"\r\nContent-Type: text/plain\r\n\r\n" +
                    Repeat("<script>alert(7301)</script>\n", Pick(20000)) + "\r\n";
        return Chance(15) ? body.substr(0, Pick(body.size() + 1)) : body + "--" + boundary + "--\r\n";
    }
    std::string Cookies() {
        std::string cookies = "ZarvoUidCookie=op; ZarvoUserLoginTime=" + std::to_string(time(nullptr) + 3600) +
                              "; ZarvoIsWebmaster=TRUE";
        for (const char* selector : {"PersonSelectorCookie", "GroupSelectorCookie", "OnePersonSelectorCookie"})
            if (Chance(25)) cookies += std::string("; ") + selector + "=" + (Chance(50) ? Any(kIds) + ":ghost" : Any(kHostile));
        if (Chance(10)) cookies += "; ZarvoStriped-hostile=" + Any(kHostile) + "; =; novalue;;" + Any(kHostile);
        return cookies;
    }
    // Now and then a CGI variable that lies about the body or the caller.
    void Environment(CgiRequest* request) {
        const std::vector<std::string> lengths = {
            "-1", "abc", "99999999999999999999", "0", std::to_string(request->body.size() * 2 + 100),
            std::to_string(request->body.size() / 2)};
        const std::vector<std::string> agents = {"Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)",
                                                 "Mozilla/3.0 (Macintosh; I; PPC)", std::string(10240, 'M'),
                                                 "<script>alert(7301)</script>"};
        if (Chance(15)) request->extraEnv.push_back("CONTENT_LENGTH=" + Any(lengths));
        if (Chance(10)) request->userAgent = Any(agents);
        if (Chance(5)) request->extraEnv.push_back("REQUEST_METHOD=" + Any({"post", "PUT", "", "GET"}));
        if (Chance(5)) request->extraEnv.push_back("SERVER_PORT=" + Any({"99999999999999999999", "-1", "", "x"}));
        if (Chance(5)) request->extraEnv.push_back("SCRIPT_NAME=" + Any(kHostile));
    }
    CgiRequest Request(const Event& event) {
        auto params = Params(event);
        CgiRequest request;
        switch (Pick(4)) {
            case 0:
            case 1:
                request = CgiRequest::Get(Joined(params));
                break;
            case 2: {
                // Some parameters in the query, the rest in the body.
                size_t split = Pick(params.size() + 1);
                request = CgiRequest::Post(Joined({params.begin() + split, params.end()}),
                                           Joined({params.begin(), params.begin() + split}));
                break;
            }
            default: {
                const std::string boundary = Chance(80) ? "----hostile" + std::to_string(Pick(1000)) : "";
                request = CgiRequest::Post(Multipart(params, boundary.empty() ? "x" : boundary));
                request.contentType = "multipart/form-data" + (boundary.empty() ? "" : "; boundary=" + boundary);
                break;
            }
        }
        request.cookies = Cookies();
        Environment(&request);
        return request;
    }
};

bool Marked(const fs::path& path) {
    std::string name = path.filename().string();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return tolower(c); });
    return name.find(kMark) != std::string::npos;
}

// Entries a request left where it should not: beside the tree, in the
// system's temporary folder, in the tree's temporary folder (uploads are
// removed when their request ends), or anywhere under a hostile name.
std::vector<std::string> StrayFiles() {
    const fs::path base = Tree().Outside().parent_path();
    const std::set<std::string> harness = {"top", "outside", "stdin", "stdout", "stderr", "install.log"};
    std::vector<std::string> stray;
    for (const auto& entry : fs::directory_iterator(base))
        if (!harness.count(entry.path().filename().string())) stray.push_back(entry.path().string());
    for (const auto& entry : fs::directory_iterator(Tree().Outside())) stray.push_back(entry.path().string());
    for (const auto& entry : fs::directory_iterator(base.parent_path()))
        if (Marked(entry.path())) stray.push_back(entry.path().string());
    for (const auto& entry : fs::directory_iterator(Tree().Top() / "tmp")) stray.push_back(entry.path().string());
    for (const auto& entry : fs::recursive_directory_iterator(Tree().Top()))
        if (Marked(entry.path())) stray.push_back(entry.path().string());
    return stray;
}

// What is wrong with one response; empty when nothing is. Files left
// behind are told once, by the request that left them.
std::string Faults(const CgiResult& r, std::set<std::string>* strayKnown) {
    std::string faults;
    if (r.status != 0) faults += "exit status " + std::to_string(r.status) + " (-1: a signal or no exit)\n";
    if (r.err.find("Sanitizer") != std::string::npos || r.err.find("runtime error") != std::string::npos)
        faults += "sanitizer report:\n" + r.err.substr(0, 4000) + "\n";
    if (r.out.find("\n\n") == std::string::npos) faults += "no blank line ends the header block\n";
    static const std::regex headerLine(
        "(Content-type|Status|Set-Cookie|Window-target|Content-Base|Cache-Control|X-Content-Type-Options|"
        "Referrer-Policy|Content-Security-Policy): [^\r]*");
    std::istringstream headers(r.Headers());
    bool contentType = false;
    for (std::string line; std::getline(headers, line);) {
        if (!std::regex_match(line, headerLine)) faults += "bad header line: " + line.substr(0, 200) + "\n";
        contentType = contentType || line.rfind("Content-type: ", 0) == 0;
    }
    if (!contentType) faults += "no Content-type header\n";
    std::string page = r.out;
    std::transform(page.begin(), page.end(), page.begin(), [](unsigned char c) { return tolower(c); });
    for (const char* live : {"<script>alert(7301)", "<img src=x", "<img+src=x"})
        if (page.find(live) != std::string::npos) faults += std::string("input echoed as markup: ") + live + "\n";
    for (const std::string& file : StrayFiles())
        if (strayKnown->insert(file).second) faults += "left behind: " + file + "\n";
    return faults;
}

std::string Describe(const CgiRequest& request) {
    auto cut = [](const std::string& text) { return text.size() > 600 ? text.substr(0, 600) + "..." : text; };
    std::string env;
    for (const std::string& e : request.extraEnv) env += cut(e) + " ";
    return request.method + " " + cut(request.query) + "\nContent-type: " + request.contentType + "\nCookie: " +
           cut(request.cookies) + "\nUser agent: " + cut(request.userAgent) + "\nAlso: " + env + "\nBody: " +
           cut(request.body);
}

// Runs one request and returns what is wrong with it, empty when nothing
// is. A web server gives up on a slow program, so taking longer than
// kPatience counts as a fault too.
std::string RunAndCheck(const CgiRequest& request, CgiResult* r) {
    constexpr auto kPatience = std::chrono::seconds(20);
    static std::set<std::string> strayKnown;
    const auto start = std::chrono::steady_clock::now();
    *r = Tree().Run(request);
    std::string faults = Faults(*r, &strayKnown);
    if (std::chrono::steady_clock::now() - start > kPatience) faults += "took longer than a web server waits\n";
    return faults;
}

TEST_F(HostileRequests, NoneCrashesLeaksMarkupOrWritesOutsideTheTree) {
    int pastLogin = 0;
    for (int i = 0; i < kRequests; ++i) {
        // Every event in turn, so each is hit about seven times.
        CgiRequest request = Request(kEvents[i % kEvents.size()]);
        CgiResult r;
        EXPECT_EQ(RunAndCheck(request, &r), "") << "request " << i << " (seed " << kSeed << ")\n" << Describe(request);
        if (!r.Contains("name=\"loginform\"")) ++pastLogin;
    }
    // The run tested the console, not only its login page.
    EXPECT_GT(pastLogin, kRequests * 9 / 10);
    CgiResult after = Tree().Run(CgiRequest::Get("program=front", Cookies()));
    EXPECT_TRUE(after.Contains("name=\"application_navbar\"")) << after.out;
}

// One parameter repeated a few hundred thousand times in a posted form (a
// few megabytes): each page must still come promptly and whole.
TEST_F(HostileRequests, FloodsOfOneParameterFinishPromptly) {
    constexpr int kCopies = 200000;
    struct Case {
        const char* event;
        const char* fixed;
        const char* repeated;
    } cases[] = {
        {"genResUsagePage", "res_type=users&selection=select_u", "oper_uid_val"},
        {"genResUsageHeading", "res_type=users&selection=top_u", "users"},
        {"genUidResUsage", "", "uid"},
        {"createNewAccountProcess", "password1=a&password2=a", "login"},
    };
    for (const Case& c : cases) {
        std::string body = std::string("program=") + c.event + "&" + c.fixed;
        for (int i = 0; i < kCopies; ++i) body += std::string("&") + c.repeated + "=v" + std::to_string(i % 10);
        CgiRequest request = CgiRequest::Post(body);
        request.cookies = Cookies();
        CgiResult r;
        EXPECT_EQ(RunAndCheck(request, &r), "") << c.event << " with " << kCopies << " " << c.repeated;
        EXPECT_FALSE(r.Contains("name=\"loginform\"")) << c.event;
    }
}

}  // namespace
