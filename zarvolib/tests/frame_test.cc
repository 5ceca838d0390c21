// The page loop: how ModuleMain answers each outcome of an event, the
// message catalogues, and the bug report and feedback pages per browser.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cgiutil.h"
#include "frame_testing.h"
#include "zarvobase.h"
#include "zarvoclasses.h"

namespace {

ZarvoBaseApp* theApp = nullptr;

// Answers a few event names with the outcomes ModuleMain must handle.
class ScriptedCommon : public ZarvoBaseCommon {
public:
    using ZarvoBaseCommon::ZarvoBaseCommon;
    Page* HandleEvent(const char* program) override {
        const std::string event = program ? program : "";
        if (event == "level4" || event == "level2") {
            ZaError* error = new ZaError();
            error->level = event == "level4" ? 4 : 2;
            error->AddLine(1, "t", "first", ZaTrue);
            error->AddLine(2, "t", "second", ZaTrue);
            throw error;
        }
        if (event == "nopage") return nullptr;
        if (!program) {
            ZaPage* page = new ZaPage();
            page->AppendToBody("front page");
            return page;
        }
        return ZarvoBaseCommon::HandleEvent(program);
    }
};

class FrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tree = new FrameTree();
        tree->WriteList("main.lst",
                        "Both:main both\nOnlyMain:main only\nKind_ZARVO:zarvo text\nKind_LDAP:ldap text\n"
                        "LoginPageTitle:Please log in\n");
        tree->WriteList("local.lst", "BOTH:local both\n");
        theApp = new ZarvoBaseApp("FrameTest", "frame.cgi", tree->Path("main.lst").c_str(),
                                  tree->Path("local.lst").c_str());
    }
    static void TearDownTestSuite() {
        delete theApp;
        delete tree;
    }
    static FrameTree* tree;
};
FrameTree* FrameTest::tree = nullptr;

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(FrameTest, ModuleMainAnswersEachOutcome) {
    struct Case {
        std::string query;
        int result;
        std::vector<std::string> shown, logged;
    };
    const std::vector<Case> cases = {
        {"", 0, {"front page", "Set-Cookie: ZarvoUserLoginTime="}, {}},
        {"program=nopage", 1, {}, {}},
        {"program=level4", 0, {"<b>second</b>", "messages were produced by the product"},
         {":FrameTest:ZA_ERROR:Error : line 2 in file t : second"}},
        {"program=level2", 0, {"Bug Report Form", "Error : line 2 in file t : second"},
         {":FrameTest:ZA_ERROR:Error : line 1 in file t : first"}},
        {"program=APP_COMMON_PROG_LOGOUT", 0, {"<title>Please log in</title>", "ZarvoUserLoginTime=0;"},
         {":FrameTest:ZA_INFO:Uid u1 logged out"}},
    };
    for (const Case& c : cases) {
        CaptureRequest request(c.query, LoginCookies("u1", 100));
        EXPECT_EQ(ModuleMain(&request), c.result) << c.query;
        if (c.result == 1) {
            EXPECT_EQ(request.out, "") << c.query;
        }
        for (const std::string& text : c.shown) EXPECT_TRUE(request.Contains(text)) << c.query << "\n" << request.out;
        for (const std::string& line : c.logged) EXPECT_NE(tree->ReadLog().find(line), std::string::npos) << line;
        // A page is refreshed once at most; the logout page not at all.
        EXPECT_LE(Count(request.out, "ZarvoUserLoginTime="), 1u) << c.query;
    }
    CaptureRequest nice("program=level4", LoginCookies("u1", 100));
    ModuleMain(&nice);
    EXPECT_LT(nice.out.find("<b>second</b>"), nice.out.find("<b>first</b>")) << "newest message first";
    EXPECT_FALSE(nice.Contains("Set-Cookie"));
}

TEST_F(FrameTest, MessagesComeFromTheCataloguesWithStoreKindFallback) {
    struct Case {
        const char* key;
        ZaBoolean noFallback;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"both", ZaFalse, "local both"},       {"onlymain", ZaFalse, "main only"},
        {"Kind", ZaFalse, "zarvo text"},       {"Kind", ZaTrue, "Message Kind not found"},
        {"Absent", ZaFalse, "Message Absent not found"}, {"ABSENT", ZaFalse, "Message ABSENT not found"},
    };
    for (const Case& c : cases) EXPECT_STREQ(theApp->GetMessage(c.key, c.noFallback), c.text) << c.key;
    EXPECT_EQ(theApp->GetMessage("Absent"), theApp->GetMessage("Absent")) << "kept, not made anew";

    tree->WriteConfig("empDirDBFormat:ZA_LDAP\n");
    {
        ZarvoBaseApp ldap("FrameTest", "frame.cgi", tree->Path("main.lst").c_str(), nullptr);
        EXPECT_STREQ(ldap.GetMessage("kind"), "ldap text");
        EXPECT_STREQ(ldap.GetMessage("both"), "main both");
    }
    tree->WriteConfig("");
}

// Renders a page built for a request of the given browser.
template <class Build>
std::string RenderFor(int browserType, double version, Build build) {
    CaptureRequest request;
    request.browserType = browserType;
    request.browserVersion = version;
    std::unique_ptr<Page> page(build(&request));
    ZaEmitPage(page.get(), &request, "style0");
    return request.out;
}

TEST_F(FrameTest, BugReportAndFeedbackPagesFitTheBrowser) {
    ValList trace;
    trace.Prepend("line one");
    trace.Prepend("line two");
    struct Case {
        int browserType;
        double version;
        bool mailForm;  // the browser can send a form by e-mail
    };
    for (const Case& c : {Case{1, 4.0, true}, Case{1, 3.0, true}, Case{1, 2.0, false}, Case{2, 5.0, false}}) {
        const std::string report = RenderFor(c.browserType, c.version, [&](RequestInfo* r) {
            return ZaCreateErrorPage(&trace, "bugs@x.example", r);
        });
        const std::string feedback = RenderFor(c.browserType, c.version, [&](RequestInfo* r) {
            return ZaCreateGenericFeedbackPage("hfeedback", "Tell us", "fb@x.example", r);
        });
        const std::string context = std::to_string(c.browserType) + " " + std::to_string(c.version);
        auto has = [](const std::string& page, const char* part) { return page.find(part) != std::string::npos; };
        EXPECT_TRUE(has(report, "Window-target: _top") && has(report, "onLoad=\"sendtotop()\"")) << context;
        EXPECT_LT(report.find("line two\n"), report.find("line one\n")) << context;
        EXPECT_EQ(has(report, "name=\"traceback\" value=\"line twoline one\""), c.mailForm) << context;
        EXPECT_EQ(has(report, "action=\"mailto:bugs@x.example\" method=\"post\" enctype=\"text/plain\""),
                  c.mailForm)
            << report;
        EXPECT_EQ(has(report, "Make sure to append the following traceback"), !c.mailForm) << context;
        // The feedback form's focus comes before its help context.
        const size_t focus = feedback.find("onLoad=\"document.createform.person_name.focus();");
        EXPECT_EQ(focus != std::string::npos, c.mailForm) << context << feedback;
        EXPECT_TRUE(!c.mailForm || focus < feedback.find("top.CurrentProg='Feedback'")) << context;
        EXPECT_EQ(has(feedback, "value=\"Enhancement\" selected=\"true\""), c.mailForm) << context;
        EXPECT_EQ(has(feedback, "Your browser doesn't support"), !c.mailForm) << context;
        EXPECT_FALSE(has(feedback, "Make sure to append")) << context;
    }
}

TEST_F(FrameTest, ErrorWithoutApplicationStillGetsTheReportAndTheLog) {
    CaptureRequest request;
    ZaError error;
    error.AddLine(7, "t", "before any application", ZaFalse);
    ModuleMainExceptionHandler(nullptr, &request, &error);
    EXPECT_TRUE(request.Contains("before any application")) << request.out;
    EXPECT_NE(tree->ReadLog().find(":Unknown:ZA_ERROR:Error : line 7 in file t"), std::string::npos);
}

}  // namespace

ZarvoBaseCommon* GetRequestObject(RequestInfo* request) {
    return new ScriptedCommon(request, theApp, ZaFalse);
}
