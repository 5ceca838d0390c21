// Cookie texts and their striping, and CacheBuster. Url and the other header
// objects are checked in the whole page of the page tests.
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

std::string SetCookieLine(const std::string& name, const std::string& value) {
    return "Set-Cookie: " + name + "=" + value + "; path=/;\n";
}

std::string Stripe(int number, const std::string& value) {
    return SetCookieLine("ZarvoStriped-" + std::to_string(number) + "-Sel", value);
}

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(Cookies, FormattedCookieStripes) {
    const std::string a460(460, 'a'), b460(460, 'b'), b461(461, 'b'), a500(500, 'a'), b500(500, 'b'),
        c500(500, 'c'), a1000(1000, 'a'), a1996(1996, 'a'), b1996(1996, 'b'), b1997(1997, 'b'), a5000(5000, 'a');
    struct Case {
        const char* what;
        int browser;  // 1 Mozilla: limit 3996; 2 MSIE: limit 924
        std::vector<std::string> values;
        std::string expected;
    } cases[] = {
        {"fits: one cookie", 2, {"a", "b", "c"}, SetCookieLine("Sel", "a:b:c")},
        {"empty list", 2, {}, SetCookieLine("Sel", ":")},
        {"three stripes", 2, {a500, b500, c500},
         Stripe(0, a500) + Stripe(1, b500) + Stripe(2, c500) + SetCookieLine("Sel", "ZarvoStriped-3")},
        {"limit reached exactly", 2, {a460, b461},
         Stripe(0, a460) + Stripe(1, b461) + SetCookieLine("Sel", "ZarvoStriped-2")},
        {"one below the limit", 2, {a460, b460}, SetCookieLine("Sel", a460 + ":" + b460)},
        {"Mozilla allows more", 1, {a500, b500, c500}, SetCookieLine("Sel", a500 + ":" + b500 + ":" + c500)},
        {"a value alone over the limit gets its own stripe", 2, {a1000, "b"},
         Stripe(0, a1000) + Stripe(1, "b") + SetCookieLine("Sel", "ZarvoStriped-2")},
        {"Mozilla: limit reached exactly", 1, {a1996, b1997},
         Stripe(0, a1996) + Stripe(1, b1997) + SetCookieLine("Sel", "ZarvoStriped-2")},
        {"Mozilla: one below the limit", 1, {a1996, b1996}, SetCookieLine("Sel", a1996 + ":" + b1996)},
        {"Mozilla: a value alone over the limit", 1, {"x", a5000, "y"},
         Stripe(0, "x") + Stripe(1, a5000) + Stripe(2, "y") + SetCookieLine("Sel", "ZarvoStriped-3")},
    };
    for (const Case& c : cases) {
        ValList values;
        for (const std::string& v : c.values) values.Append(v.c_str());
        FormattedCookie cookie("Sel", &values, 0);
        cookie.addNextObject(new SetCookie("after", "1", 0));
        CaptureRequest out(c.browser);
        cookie.emit(&out, 0, 1, nullptr);
        EXPECT_EQ(c.expected + SetCookieLine("after", "1"), out.output) << c.what;

        CaptureRequest reader(c.browser);
        ReadCookiesBack(out.output, &reader);
        std::unique_ptr<ValList> back(reader.FindFormattedCookie("Sel"));
        ASSERT_EQ(static_cast<int>(c.values.size()), back->count) << c.what;
        int i = 0;
        for (ValListItem* item = back->head; item; item = item->next, ++i)
            EXPECT_EQ(c.values[static_cast<size_t>(i)], item->value) << c.what;

        // With a lifetime every line, stripes and count included, carries the expiry.
        FormattedCookie dated("Sel", &values, 60);
        dated.addNextObject(new SetCookie("after", "1", 60));
        CaptureRequest datedOut(c.browser);
        dated.emit(&datedOut, 0, 1, nullptr);
        EXPECT_EQ(Occurrences(out.output, "Set-Cookie: "), Occurrences(datedOut.output, "; path=/; expires="))
            << c.what;
    }
}

TEST(CacheBusters, TextThenTenFillerLinesOrObjectAlone) {
    std::string filler;
    for (int i = 0; i < 10; ++i) filler += std::string(98, ' ') + "\n";
    CacheBuster fromText("a<\nb");
    fromText.addNextObject(new CacheBuster(new B("x")));
    CaptureRequest out;
    fromText.emit(&out, 0, 0, "style0");
    EXPECT_EQ("a&lt;\nb" + filler + "<b>x</b>", out.output);
}

}  // namespace
