// Url, the header objects of a page's header chain, cookie texts and their
// striping, and CacheBuster.
#include "Links.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "capture_request.h"
#include "string_class.h"
#include "vallist.h"

namespace {

TEST(Links, UrlsAndHeaderChainMatchGolden) {
    Page page(static_cast<const char*>(nullptr));
    page.AddToList(new SetCookie("gone", nullptr, 0));  // no value: no header line
    page.AddToList(new FormattedCookie("single", "one", 0));
    page.AddToList(new WindowTarget(nullptr));
    page.AddToList(new ContentBase("http://h/"));
    Body* body = new Body(static_cast<const char*>(nullptr));
    page.addObject(body);

    Url* encoded = new Url("/cgi/x.cgi");
    encoded->addAttribute("program", "navbar");
    encoded->addAttribute("na me", "a b&c<\xE9");
    encoded->addAttribute("n", 3);
    encoded->AddAnchorName("part2");
    HTMLObject* script = new HTMLObject("javascript:go()");
    script->activateURLs = 0;
    Url* noBase = new Url(script);  // no base: neither "?" nor parameters
    noBase->addAttribute("a", "1");
    noBase->AddAnchorName("x");
    Url* mixed = new Url("/p");
    ValNameList params;
    params.Append("x", "1")->Append("y", "two words");
    mixed->addAttribute(&params);
    mixed->addAttribute(ATTR_TARGET, "a/b");
    mixed->addAttribute(ATTR_NAME, String("\"q\""));
    mixed->addAttribute(ATTR_SRC, new HTMLObject("o&"));
    for (Url* url : {new Url("/p"), encoded, noBase, mixed}) body->addObject(new A("go"))->addAttribute(ATTR_HREF, url);

    CaptureRequest out;
    page.emit(&out, 0, 1, "style0");
    EXPECT_TRUE(SameBytes(ReadTestFile("links_page.txt"), out.output));
}

std::string Cookie(const char* name, const char* value, int lifetime, const char* path) {
    std::unique_ptr<char, decltype(&free)> text(CommonOutput(name, value, lifetime, path), &free);
    return text ? text.get() : "(none)";
}

TEST(Cookies, CommonOutputText) {
    EXPECT_EQ("ZarvoUidCookie=ann; path=/;", Cookie("ZarvoUidCookie", "ann", 0, nullptr));
    EXPECT_EQ("c=; path=/cgi-bin;", Cookie("c", "", -5, "/cgi-bin"));
    EXPECT_EQ("c=v; path=/;", Cookie("c", "v", 0, ""));
    EXPECT_EQ("(none)", Cookie("c", nullptr, 0, "/"));

    // The expiry date is now + lifetime in GMT; the clock may tick meanwhile.
    time_t before = time(nullptr);
    std::string text = Cookie("t", "1", 3600, "/");
    std::vector<std::string> acceptable;
    for (time_t expiry = before + 3600; expiry <= time(nullptr) + 3600; ++expiry) {
        struct tm utc;
        char date[100];
        strftime(date, sizeof date, "%A, %d-%b-%y %H:%M:%S GMT", gmtime_r(&expiry, &utc));
        acceptable.push_back(std::string("t=1; path=/; expires=") + date + ";");
    }
    EXPECT_NE(acceptable.end(), std::find(acceptable.begin(), acceptable.end(), text)) << text;
}

// Set-Cookie headers of a captured response as the cookie list of a new request.
void ReadCookiesBack(const std::string& response, RequestInfo* request) {
    request->cookies = new ValNameList();
    const std::string prefix = "Set-Cookie: ";
    for (size_t at = response.find(prefix); at != std::string::npos; at = response.find(prefix, at + 1)) {
        size_t eq = response.find('=', at);
        size_t semicolon = response.find(';', eq);
        request->cookies->Append(response.substr(at + prefix.size(), eq - at - prefix.size()).c_str(),
                                 response.substr(eq + 1, semicolon - eq - 1).c_str());
    }
}

TEST(Cookies, FormattedCookieStripes) {
    struct Case {
        const char* what;
        int browser;  // 1 Mozilla: limit 3996; 2 MSIE: limit 924
        std::vector<std::string> values;
        std::string expected;
    } cases[] = {
        {"fits: one cookie", 2, {"a", "b", "c"}, "Set-Cookie: Sel=a:b:c; path=/;\n"},
        {"empty list", 2, {}, "Set-Cookie: Sel=:; path=/;\n"},
        {"three stripes", 2, {std::string(500, 'a'), std::string(500, 'b'), std::string(500, 'c')},
         "Set-Cookie: ZarvoStriped-0-Sel=" + std::string(500, 'a') + "; path=/;\n" +
             "Set-Cookie: ZarvoStriped-1-Sel=" + std::string(500, 'b') + "; path=/;\n" +
             "Set-Cookie: ZarvoStriped-2-Sel=" + std::string(500, 'c') + "; path=/;\n" +
             "Set-Cookie: Sel=ZarvoStriped-3; path=/;\n"},
        {"limit reached exactly", 2, {std::string(460, 'a'), std::string(461, 'b')},
         "Set-Cookie: ZarvoStriped-0-Sel=" + std::string(460, 'a') + "; path=/;\n" +
             "Set-Cookie: ZarvoStriped-1-Sel=" + std::string(461, 'b') + "; path=/;\n" +
             "Set-Cookie: Sel=ZarvoStriped-2; path=/;\n"},
        {"one below the limit", 2, {std::string(460, 'a'), std::string(460, 'b')},
         "Set-Cookie: Sel=" + std::string(460, 'a') + ":" + std::string(460, 'b') + "; path=/;\n"},
        {"Mozilla allows more", 1, {std::string(500, 'a'), std::string(500, 'b'), std::string(500, 'c')},
         "Set-Cookie: Sel=" + std::string(500, 'a') + ":" + std::string(500, 'b') + ":" + std::string(500, 'c') +
             "; path=/;\n"},
        {"a value alone over the limit gets its own stripe", 2, {std::string(1000, 'a'), "b"},
         "Set-Cookie: ZarvoStriped-0-Sel=" + std::string(1000, 'a') + "; path=/;\n" +
             "Set-Cookie: ZarvoStriped-1-Sel=b; path=/;\n" + "Set-Cookie: Sel=ZarvoStriped-2; path=/;\n"},
    };
    for (const Case& c : cases) {
        ValList values;
        for (const std::string& v : c.values) values.Append(v.c_str());
        FormattedCookie cookie("Sel", &values, 0);
        cookie.addNextObject(new SetCookie("after", "1", 0));
        CaptureRequest out(c.browser);
        cookie.emit(&out, 0, 1, nullptr);
        EXPECT_TRUE(SameBytes(c.expected + "Set-Cookie: after=1; path=/;\n", out.output)) << c.what;

        CaptureRequest reader(c.browser);
        ReadCookiesBack(out.output, &reader);
        std::unique_ptr<ValList> back(reader.FindFormattedCookie("Sel"));
        ASSERT_EQ(static_cast<int>(c.values.size()), back->count) << c.what;
        int i = 0;
        for (ValListItem* item = back->head; item; item = item->next, ++i)
            EXPECT_EQ(c.values[static_cast<size_t>(i)], item->value) << c.what;
    }
}

TEST(CacheBusters, TextThenTenFillerLinesOrObjectAlone) {
    std::string filler;
    for (int i = 0; i < 10; ++i) filler += std::string(98, ' ') + "\n";
    CacheBuster fromText("a<\nb");
    fromText.addNextObject(new CacheBuster(new B("x")));
    CaptureRequest out;
    fromText.emit(&out, 0, 0, "style0");
    EXPECT_TRUE(SameBytes("a&lt;\nb" + filler + "<b>x</b>", out.output));
}

}  // namespace
