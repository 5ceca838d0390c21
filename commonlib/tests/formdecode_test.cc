#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "string_request.h"
#include "vallist.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;
using Strings = std::vector<std::string>;

// Name/value pairs of a list (which is deleted); an absent name shows as "<null>".
Pairs PairsOf(ValNameList* list) {
    std::unique_ptr<ValNameList> owned(list);
    Pairs result;
    for (ValNameListItem* i = list ? list->head : nullptr; i; i = i->next)
        result.emplace_back(i->name ? i->name : "<null>", i->value ? i->value : "<null>");
    return result;
}

Strings StringsOf(ValList* list) {
    std::unique_ptr<ValList> owned(list);
    Strings result;
    for (ValListItem* i = list->head; i; i = i->next) result.push_back(i->value);
    return result;
}

// Decodes an unterminated heap copy of text, so that a read past it is caught.
Pairs DecodeExact(const std::string& text, bool post) {
    std::unique_ptr<char[]> copy(new char[text.size() + 1]);
    memcpy(copy.get(), text.data(), text.size());
    int n = static_cast<int>(text.size());
    return PairsOf(post ? RequestInfo::ParsePOSTString(copy.get(), n)
                        : RequestInfo::ParseGETString(copy.get(), n));
}

TEST(UrlEncodedTest, DecodesPairsInOrder) {
    struct Case { std::string text; bool post; Pairs want; };
    const std::vector<Case> cases = {
        {"a=1&b=&c=3&a=4", false, {{"a", "1"}, {"b", ""}, {"c", "3"}, {"a", "4"}}},
        {"x&y=2", false, {{"x&y", "2"}}},
        {"a+b=c+d%2f%2F", false, {{"a+b", "c+d//"}}},
        {"a+b=c+d%2f%2F", true, {{"a b", "c d//"}}},
        {"=v&n=&=", false, {{"", "v"}, {"n", ""}, {"", ""}}},
        {"a=1&trailing", true, {{"a", "1"}}},
        {"noequals", false, {}},
        {"", false, {}},
        // A broken escape stays as it is and never reaches past the text.
        {"a=%4&b=%", true, {{"a", "%4"}, {"b", "%"}}},
        {"%=1%", false, {{"%", "1%"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeExact(c.text, c.post), c.want) << c.text;
    // Only the given span counts, even inside a longer text.
    EXPECT_EQ(PairsOf(RequestInfo::ParseGETString("a=12&b=3", 3)), (Pairs{{"a", "1"}}));
}

TEST(RequestLookupTest, FindsParametersIgnoringCase) {
    StringRequest r;
    r.queryString = strdup("a=1&b=&c=3&a=4&pre_x=5&PRE_y=6");
    r.contentLength = strlen(r.queryString);
    std::unique_ptr<ValNameList> decoded(r.ParseGetInput());
    r.AddParams(decoded.get());
    EXPECT_STREQ(r.FindVar("A"), "1");
    EXPECT_STREQ(r.FindVar("b"), "");
    EXPECT_EQ(r.FindVar("zz"), nullptr);
    EXPECT_EQ(StringsOf(r.GetValList("A")), (Strings{"1", "4"}));
    EXPECT_EQ(PairsOf(r.GetValListPrefix("pre_")), (Pairs{{"pre_x", "5"}, {"PRE_y", "6"}}));
    r.ReplaceVal("a", "9");
    r.AddParam("new", "7");
    std::unique_ptr<char, void (*)(void*)> copy(r.FindVarCopy("a"), free);
    EXPECT_STREQ(copy.get(), "9");
    EXPECT_STREQ(r.FindVar("new"), "7");
    r.params->Append("up", "f.txt", "/tmp/x");
    EXPECT_STREQ(r.FindVar2("UP"), "/tmp/x");
}

TEST(PostInputTest, OnlyAWholeBodyCounts) {
    struct Case { std::string body; int length; Pairs want; };
    const std::vector<Case> cases = {
        {"a=1+2&b=%41", 11, {{"a", "1 2"}, {"b", "A"}}},
        {"a=1&b", 10, {}},  // shorter than declared
        {"a=1", 0, {}},
        {"a=1", -5, {}},
    };
    for (const Case& c : cases) {
        StringRequest r(c.body);
        r.contentLength = c.length;
        EXPECT_EQ(PairsOf(r.ParsePostInput()), c.want) << c.body;
    }
}

TEST(CookieTest, SplitsAndTrimsPairs) {
    struct Case { const char* header; ZaBoolean unescape; Pairs want; };
    const std::vector<Case> cases = {
        {"a=1; b=\"two words\"; c", ZaTrue, {{"a", "1"}, {"b", "two words"}}},
        {"  name =v \t\r\n", ZaTrue, {{"name ", "v"}}},
        {"c; x=%41", ZaTrue, {{"x", "A"}}},
        {"x=%41; y=\"\"", ZaFalse, {{"x", "%41"}, {"y", ""}}},
        {"a=1;", ZaTrue, {{"a", "1"}}},
        {"a; b; c=1; d; e=2", ZaTrue, {{"c", "1"}, {"e", "2"}}},
        {"", ZaTrue, {}},
        {nullptr, ZaTrue, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PairsOf(RequestInfo::ParseNameValString(c.header, c.unescape)), c.want)
            << (c.header ? c.header : "null");
}

TEST(CookieTest, FormattedAndStripedCookies) {
    StringRequest r;
    EXPECT_EQ(r.FindCookie("a"), nullptr);  // no cookie list yet
    r.cookies = RequestInfo::ParseNameValString(
        "plain=:x::y:x:; big=ZarvoStriped-3; ZarvoStriped-0-big=a:b; "
        "ZarvoStriped-1-BIG=b:c; ZarvoStriped-2-other=z; none=zarvostriped-", ZaTrue);
    EXPECT_EQ(StringsOf(r.FindFormattedCookie("PLAIN")), (Strings{"x", "y"}));
    EXPECT_EQ(StringsOf(r.FindFormattedCookie("big")), (Strings{"a", "b", "c"}));
    EXPECT_EQ(StringsOf(r.FindFormattedCookie("none")), Strings{});
    EXPECT_EQ(StringsOf(r.FindFormattedCookie("missing")), Strings{});
}

TEST(HeaderTest, ParametersComeBeforeTheHeader) {
    EXPECT_EQ(PairsOf(RequestInfo::ParseHTTPHeader(
                  " Content-Disposition: form-data; name=\"f\"; filename=\"C:\\a b.txt\"\r\n")),
              (Pairs{{"name", "f"}, {"filename", "C:\\a b.txt"}, {"Content-Disposition", " form-data"}}));
    EXPECT_EQ(PairsOf(RequestInfo::ParseHTTPHeader("X-A: b;")), (Pairs{{"X-A", " b"}}));
    for (const char* bad : {"", "no colon", static_cast<const char*>(nullptr)})
        EXPECT_EQ(RequestInfo::ParseHTTPHeader(bad), nullptr);
}

TEST(RecognitionTest, BrowserAndSystem) {
    struct Case { const char* agent; int type; double version; int system; int maxLength; };
    for (const Case& c : {Case{"Mozilla/2.02 (compatible; MSIE 3.02; Windows 95)", 2, 3.02, 0, 1024},
                          Case{"Mozilla/3.01Gold (Macintosh; I; PPC)", 1, 3.0, 1, 4096},
                          Case{"msie", 2, 0.0, 0, 1024}, Case{"Lynx/2.8", 0, 0.0, 0, 1024}}) {
        StringRequest r;
        r.SetBrowserType(c.agent);
        r.SetSystemType(c.agent);
        EXPECT_EQ(r.browserType, c.type) << c.agent;
        EXPECT_DOUBLE_EQ(r.browserVersion, c.version) << c.agent;
        EXPECT_EQ(r.systemType, c.system) << c.agent;
        EXPECT_EQ(r.GetMaxUrlLength(), c.maxLength) << c.agent;
        EXPECT_EQ(r.GetMaxCookieLength(), c.maxLength) << c.agent;
    }
}

}  // namespace
