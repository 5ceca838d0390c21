#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "string_class.h"
#include "stringutil.h"
#include "vallist.h"

namespace {

using Texts = std::vector<std::string>;

// Owns a malloc result; "<null>" stands for a null one.
std::string Take(char* s) {
    std::string out = s ? s : "<null>";
    free(s);
    return out;
}

Texts TakeList(ValList* list) {
    Texts out;
    for (ValListItem* i = list->head; i; i = i->next) out.push_back(i->value ? i->value : "<null>");
    delete list;
    return out;
}

std::string Str(const String& s) { return s.text ? std::string(s.text) : "<null>"; }

// Independent statement of the escaping rules, byte by byte.
std::string ExpectedURL(unsigned char b) {
    if (b < 128 && (isalnum(b) || strchr("*-.@_", b))) return std::string(1, static_cast<char>(b));
    char buf[4];
    snprintf(buf, sizeof buf, "%%%02X", b);
    return buf;
}

std::string ExpectedHTML(unsigned char b) {
    static const char* kLatin1 =
        "nbsp iexcl cent pound curren yen brvbar sect uml copy ordf laquo not shy reg hibar deg plusmn sup2 sup3 "
        "acute micro para middot cedil sup1 ordm raquo frac14 frac12 frac34 iquest Agrave Aacute Acirc Atilde Auml "
        "Aring AElig Ccedil Egrave Eacute Ecirc Euml Igrave Iacute Icirc Iuml ETH Ntilde Ograve Oacute Ocirc Otilde "
        "Ouml times Oslash Ugrave Uacute Ucirc Uuml Yacute THORN szlig agrave aacute acirc atilde auml aring aelig "
        "ccedil egrave eacute ecirc euml igrave iacute icirc iuml eth ntilde ograve oacute ocirc otilde ouml divide "
        "oslash ugrave uacute ucirc uuml yacute thorn yuml";
    switch (b) {
        case '"': return "&quot;";
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
    }
    if (b < 0xA0) return std::string(1, static_cast<char>(b));
    std::istringstream names(kLatin1);
    std::string name;
    for (int i = 0; i <= b - 0xA0; i++) names >> name;
    return "&" + name + ";";
}

std::string ExpectedJS(unsigned char b) {
    return b == '\'' || b == '\\' ? std::string("\\") + static_cast<char>(b) : std::string(1, static_cast<char>(b));
}

TEST(EscapingTest, EveryByteValue) {
    struct Case { const char* what; void (String::*escape)(); std::string (*expected)(unsigned char); };
    const Case cases[] = {{"url", &String::PrepForURL, ExpectedURL},
                          {"html", &String::PrepForHTML, ExpectedHTML},
                          {"js", &String::PrepForJS, ExpectedJS}};
    for (const Case& c : cases) {
        for (int b = 1; b < 256; b++) {
            std::string in = std::string("x") + static_cast<char>(b) + "y";
            String s(in.c_str());
            (s.*c.escape)();
            std::string want = "x" + c.expected(static_cast<unsigned char>(b)) + "y";
            EXPECT_EQ(Str(s), want) << c.what << " byte " << b;
            EXPECT_EQ(s.length, static_cast<int>(want.size())) << c.what << " byte " << b;
        }
        String empty(""), none;
        (empty.*c.escape)();
        (none.*c.escape)();
        EXPECT_EQ(Str(empty), "") << c.what;
        EXPECT_EQ(none.text, nullptr) << c.what;
    }
}

// The tables' lengths match their texts, and text with nothing to escape keeps its buffer.
TEST(EscapingTest, TablesAndUntouchedText) {
    for (int i = 0; i < 96; i++) EXPECT_EQ(entityRefLen[i], static_cast<int>(strlen(entityRefs[i]))) << i;
    for (int i = 0; i < urlArrayLength; i++) EXPECT_EQ(urlArrayLen[i], static_cast<int>(strlen(urlArray[i]))) << i;
    String s("plain_text-1.0@x");
    const char* before = s.text;
    for (void (String::*op)() : {&String::PrepForURL, &String::PrepForHTML, &String::PrepForJS, &String::PrepareForWriting})
        (s.*op)();
    EXPECT_EQ(s.text, before);
}

TEST(ActivateURLsTest, LinksPrefixedAddresses) {
    auto link = [](const std::string& u) { return "<A HREF=\"" + u + "\" target=\"_top\">" + u + "</A>"; };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"see http://h/a/b. Now", "see " + link("http://h/a/b") + ". Now"},
        {"mailto:ann,", link("mailto:ann") + ","},
        {"HTTP://X", link("HTTP://X")},
        {"xhttp://y", "x" + link("http://y")},
        {"http://a:80:90/", link("http://a:80") + ":90/"},
        {"http://h/p?q=1", link("http://h/p") + "?q=1"},
        {"go https://s.org/~u/a+b...", "go " + link("https://s.org/~u/a+b") + "..."},
        {"no links here", "no links here"},
        {"ftp:", link("ftp:")},
        {"\xE9http://a\xE9", "\xE9" + link("http://a") + "\xE9"},
        // Script schemes stay text; markup and existing links are left alone.
        {"JavaScript:alert(1) xjavascript:http://e", "JavaScript:alert(1) xjavascript:" + link("http://e")},
        {"<a href=\"http://m\">see http://m</A> <b>http://n</b>",
         "<a href=\"http://m\">see http://m</A> <b>" + link("http://n") + "</b>"},
    };
    for (const auto& c : cases) {
        String s(c.first.c_str());
        String copy = s.ActivateURLs();
        EXPECT_EQ(Str(s), c.second) << c.first;
        EXPECT_EQ(Str(copy), c.second) << c.first;
        EXPECT_NE(copy.text, s.text);
    }
}

TEST(StringClassTest, ConstructionOperatorsAndSubStrings) {
    String s("ab");
    s += s;
    s += static_cast<const char*>(nullptr);
    s += String();
    s = s;
    EXPECT_EQ(s.length, 4);
    EXPECT_EQ(s.IndexOf('b'), 1);
    EXPECT_EQ(s.IndexOf('z'), -1);
    const std::vector<std::pair<String, std::string>> cases = {
        {String(-42), "-42"},         {String(0, 'c'), ""},           {String(3, 'c'), "ccc"},
        {String("abcdef", 3), "abc"}, {String("ab", 10), "ab"},       {String() + String(), "<null>"},
        {s, "abab"},                  {String() + "x" + String("y"), "xy"},
        {s.SubString(1), "bab"},      {s.SubString(-1), "abab"},      {s.SubString(9), ""},
        {s.SubString(1, 3), "ba"},    {s.SubString(3, 1), "abab"},    {s.SubString(2, 99), "ab"},
        {s.SubString(-1, 2), "abab"}, {String().SubString(1), "<null>"},
    };
    for (size_t i = 0; i < cases.size(); i++) EXPECT_EQ(Str(cases[i].first), cases[i].second) << i;
}

TEST(StringClassTest, PrintAndLineEnds) {
    FILE* f = tmpfile();
    String().Println(f);
    String("a").Println(f);
    String("b").Print(f);
    rewind(f);
    char buf[16] = {};
    EXPECT_EQ(fread(buf, 1, sizeof buf - 1, f), 3u);
    EXPECT_STREQ(buf, "a\nb");
    fclose(f);

    String h("a\r\nb\rc\nd");
    EXPECT_STREQ(h.HTMLEnhanced(), "a<BR>b<BR>c<BR>d");
    EXPECT_EQ(String().HTMLEnhanced(), nullptr);
    const std::vector<std::pair<const char*, std::string>> folds = {
        {"a\r\nb\n\nc", "a=0A=\n b=0A=\n =0A=\n c"}, {"a\rb", "a=0A=\n b"},
        {"\n\r", "=0A=\n =0A=\n "}, {"x\r\n", "x=0A=\n "}};
    for (const auto& [in, out] : folds) {
        String w(in);
        w.PrepareForWriting();
        EXPECT_EQ(Str(w), out) << in;
        EXPECT_EQ(w.length, static_cast<int>(out.size())) << in;
    }

    const std::vector<std::tuple<const char*, ZaBoolean, std::string>> unfolds = {
        {"x=0a=", ZaTrue, "x\n"}, {"=0A=", ZaTrue, "\n"}, {"0A=", ZaFalse, "0A="}, {"x=0B=", ZaFalse, "x=0B="}};
    for (const auto& [in, folded, out] : unfolds) {
        String v(in);
        EXPECT_EQ(v.VersitUnescape(), folded) << in;
        EXPECT_EQ(Str(v), out) << in;
        EXPECT_EQ(v.length, static_cast<int>(out.size())) << in;
    }
}

TEST(StringClassTest, ReadsFoldedEntries) {
    struct Case { std::string content; ZaBoolean result; std::string name, value, whole; };
    std::string longValue(200, 'v');
    const std::vector<Case> cases = {
        {"n:" + longValue + "\r\n", ZaTrue, "n", longValue, "n:" + longValue},
        {"n: \t\n", ZaTrue, "n", "", "n:"},
        {"", ZaTrue, "", "", ":"},
        {"a:b=0A=\n", ZaFalse, "a", "b\n", "a:b\n"},
        {"last:line", ZaTrue, "last", "line", "last:line"},
        {"a:x=0A=\n y=0A=\n z\nnext:1\n", ZaTrue, "a", "x\ny\nz", "a:x\ny\nz"},
    };
    for (const Case& c : cases) {
        FILE* f = tmpfile();
        fputs(c.content.c_str(), f);
        rewind(f);
        String line, name, value;
        EXPECT_EQ(line.GetNameValPair(f, name, value), c.result) << c.content;
        EXPECT_EQ(Str(name), c.name) << c.content;
        EXPECT_EQ(Str(value), c.value) << c.content;
        EXPECT_EQ(Str(line), c.whole) << c.content;
        fclose(f);
    }
}

TEST(StringUtilTest, ExtractingFunctions) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {Take(StringGrabValBeforeColon("name: value\r\n")), "name"},
        {Take(StringGrabValBeforeColon(":x")), "<null>"},
        {Take(StringGrabValBeforeColon("ab\n:x")), "<null>"},
        {Take(StringGrabValBeforeColon(" \t:x")), "<null>"},
        {Take(StringGrabValAfterColon("name: value\r\n")), " value"},
        {Take(StringGrabValAfterColon("a: \r\n")), "<null>"},
        {Take(StringGrabValAfterColon("abc")), "<null>"},
        {Take(StringGrabVal("ab c\rd")), "ab c"},
        {Take(StringGrabVal(" \n")), "<null>"},
        {Take(StringGrabValBeforeWhitespace("ab\tc")), "ab"},
        {Take(StringGrabValBeforeWhitespace(" ab")), "<null>"},
        {Take(StringDup("abc", 2)), "ab"},
        {Take(StringFindExtension("a.b/c.txt")), "txt"},
        {Take(StringFindExtension("a.")), "<null>"},
        {Take(StringFromInteger(-7)), "-7"},
        {Take(StringToUpper("a\xE9z!")), "A\xE9Z!"},
        {Take(StringStripSlashes("/a/b/c")), "c"},
        {Take(StringStripSlashes(" ")), "<null>"},
        {Take(StringUnescape("a+b%41", 6, ZaTrue)), "a bA"},
        {Take(StringUnescape("a+b%41", 6, ZaFalse)), "a+bA"},
        {Take(StringUnescape("%zz%4a", 6, ZaFalse)), "SJ"},
        {Take(StringUnescape("abc", 0, ZaFalse)), ""},
        {Take(StringUnescape("abc", 2, ZaFalse)), "ab"},
        // A '%' too near the end of the span is copied; nothing past the text is read.
        {Take(StringUnescape("a%4", 3, ZaTrue)), "a%4"},
        {Take(StringUnescape("%41", 2, ZaTrue)), "%4"},
        {Take(StringUnescape("ab", 50, ZaTrue)), "ab"},
        {Take(NumberToCurrencyString(1234.5)), "$ 1,234.50"},
        {Take(NumberToCurrencyString(0.5)), "$ .50"},
        {Take(NumberToCurrencyString(0.05)), "$ 5"},
        {Take(NumberToCurrencyString(1000000)), "$ 1,000,000.00"},
        {Take(NumberToCurrencyString(1234.567)), "$ 1,234.56"},
        {Take(NumberToCurrencyString(-1234.5)), "$ -1,234.50"},
    };
    for (size_t i = 0; i < cases.size(); i++) EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
}

TEST(StringUtilTest, PredicatesAndInPlaceFunctions) {
    EXPECT_EQ(StringIsEmpty(nullptr), ZaTrue);
    EXPECT_EQ(GetLength("ab\r\n"), 2);
    EXPECT_EQ(GetLength(std::string(100, 'x').c_str()), 81);
    EXPECT_EQ(StringIsEmpty(" \t\r\n"), ZaTrue);
    EXPECT_EQ(StringIsEmpty(" x"), ZaFalse);
    const char* hay = "Hello World";
    EXPECT_EQ(StringSubstring("WORLD", hay), hay + 6);
    EXPECT_EQ(StringEndsWith(hay, "World"), hay + 6);
    EXPECT_EQ(StringEndsWith(hay, "world"), nullptr);
    EXPECT_EQ(StringCompareAsInt("10", "9"), 1);
    EXPECT_EQ(StringCompareAsInt("-1", "0"), -1);
    EXPECT_EQ(SearchProtocol("http://", "HTTP://x"), ZaTrue);
    EXPECT_EQ(SearchProtocol("http://", "http:/"), ZaFalse);

    char a[] = "a\r\nb";
    EXPECT_STREQ(StringRemoveNewlines(a), "a  b");
    char b[] = " \t in side \t";
    EXPECT_STREQ(VisibleText(b), "in side");
    char blank[] = " \r\n\t";
    EXPECT_STREQ(VisibleText(blank), "");
    char d[] = "MiXeD\xC9";
    EXPECT_STREQ(StringToLower(d), "mixed\xC9");

    char out[8];
    EXPECT_EQ(Convert("124142zz", out), 12);
    EXPECT_STREQ(out, "ABS");  // 'z' is worth 35: 35 * 16 + 35 = 595, cut to 8 bits is 83
    EXPECT_EQ(Convert("7", out), 7);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(Convert(nullptr, out), 0);
    EXPECT_STREQ(out, "");
}

TEST(StringUtilTest, Tokenizers) {
    const std::vector<std::pair<Texts, Texts>> cases = {
        {TakeList(StringTokenize(" a ; b ;c ", ';')), {"a", "b", "c "}},
        {TakeList(StringTokenize("a;;b;", ';')), {"a", "", "b"}},
        {TakeList(StringTokenize("a;\r\n;b", ';')), {"a", "", "b"}},
        {TakeList(StringTokenize("", ';')), {""}},
        {TakeList(StringTokenize(nullptr, ';')), {}},
        {TakeList(StringTokenize((std::string(1200, 'x') + ";y").c_str(), ';')), {std::string(999, 'x'), "y"}},
        {TakeList(StringTokenize("  one\ttwo\r\n three ")), {"one", "two", "three"}},
        {TakeList(SplitStringIntoTokensByColon("a:b:c")), {"a", "b", "c"}},
        {TakeList(SplitStringIntoTokensByColon("a: b")), {"a", " b"}},
        {TakeList(SplitStringIntoTokensByColon("plain")), {}},
    };
    for (size_t i = 0; i < cases.size(); i++) EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
}

}  // namespace
