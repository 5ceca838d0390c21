// Tag classes and the pages, with a whole page compared byte for byte against
// its golden file.
#include "Classes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "capture_request.h"
#include "string_class.h"
#include "vallist.h"

namespace {

const char* const kNoText = nullptr;

struct TagClassRow {
    const char* name;
    HTMLObject* (*fromText)(const char*);
    HTMLObject* (*fromObject)(HTMLObject*);
    int tag;
    int activateURLs, escape, enhance, startOnNewLine, endOnNewLine;
    int childURLsOff;
};

#define ROW(Name, ...)                                                                                 \
    TagClassRow {                                                                                      \
        #Name, [](const char* t) -> HTMLObject* { return new Name(t); },                               \
            [](HTMLObject* o) -> HTMLObject* { return new Name(o); }, __VA_ARGS__                      \
    }

TEST(TagClasses, RowsAndFlagsOfBothConstructors) {
    // Columns: tag row, activateURLs, escape, enhance, startOnNewLine, endOnNewLine, child URLs off.
    const TagClassRow rows[] = {
        ROW(Page, 2, 0, 1, 1, 0, 1, 0),     ROW(Head, 3, 0, 1, 1, 1, 1, 1),    ROW(Body, 4, 0, 1, 1, 1, 1, 0),
        ROW(Title, 5, 0, 1, 0, 1, 0, 1),    ROW(Link, 6, 0, 1, 0, 1, 1, 1),    ROW(Address, 7, 1, 1, 1, 1, 0, 0),
        ROW(BlockQuote, 8, 1, 1, 1, 1, 1, 0), ROW(Form, 9, 0, 1, 1, 1, 1, 0),  ROW(H1, 10, 1, 1, 1, 1, 0, 0),
        ROW(H2, 11, 1, 1, 1, 1, 0, 0),      ROW(H3, 12, 1, 1, 1, 1, 0, 0),     ROW(H4, 13, 1, 1, 1, 1, 0, 0),
        ROW(H5, 14, 1, 1, 1, 1, 0, 0),      ROW(H6, 15, 1, 1, 1, 1, 0, 0),     ROW(Hr, 16, 0, 1, 1, 1, 1, 0),
        ROW(Dl, 17, 1, 1, 1, 1, 1, 0),      ROW(Dt, 18, 1, 1, 1, 1, 1, 0),     ROW(Dd, 19, 1, 1, 1, 1, 1, 0),
        ROW(Ol, 20, 1, 1, 1, 1, 1, 0),      ROW(Li, 21, 1, 1, 1, 1, 1, 0),     ROW(Dir, 22, 1, 1, 1, 1, 1, 0),
        ROW(Menu, 23, 1, 1, 1, 1, 1, 0),    ROW(Pre, 24, 0, 1, 0, 1, 1, 1),    ROW(P, 25, 1, 1, 1, 1, 0, 0),
        ROW(TableData, 26, 1, 1, 1, 1, 0, 0), ROW(TableHeading, 27, 1, 1, 1, 1, 1, 0), ROW(TableRow, 28, 1, 1, 1, 1, 1, 0),
        ROW(Table, 29, 1, 1, 1, 1, 1, 0),   ROW(A, 30, 0, 1, 1, 1, 0, 1),      ROW(Img, 31, 0, 1, 1, 1, 0, 0),
        ROW(Center, 32, 1, 1, 1, 1, 0, 0),  ROW(I, 33, 1, 1, 1, 0, 0, 0),      ROW(Br, 34, 1, 1, 1, 1, 0, 0),
        ROW(Select, 35, 0, 1, 0, 1, 1, 0),  ROW(Option, 36, 0, 1, 0, 1, 0, 0), ROW(Input, 37, 0, 1, 0, 1, 0, 0),
        ROW(Applet, 38, 0, 1, 1, 1, 1, 0),  ROW(FrameSet, 39, 0, 1, 1, 1, 1, 0), ROW(Param, 40, 0, 1, 1, 1, 0, 0),
        ROW(Frame, 41, 0, 1, 1, 1, 0, 0),   ROW(Script, 42, 0, 0, 0, 1, 1, 0), ROW(Font, 43, 1, 1, 1, 0, 0, 0),
        ROW(B, 44, 1, 1, 1, 0, 0, 0),       ROW(NoBR, 48, 0, 1, 1, 1, 0, 0),   ROW(Strong, 49, 1, 1, 1, 1, 1, 0),
        ROW(TextArea, 50, 0, 1, 0, 1, 0, 0), ROW(BaseFont, 51, 1, 1, 1, 0, 0, 0), ROW(Spacer, 52, 1, 1, 1, 1, 0, 0),
        ROW(Ul, 56, 1, 1, 1, 1, 1, 0),
    };
    auto flags = [](const HTMLObject* n) {
        return std::vector<int>{n->tag, n->activateURLs, n->escape, n->enhance, n->startOnNewLine, n->endOnNewLine};
    };
    for (const TagClassRow& row : rows) {
        HTMLObject* content = new HTMLObject("inner");
        std::unique_ptr<HTMLObject> withText(row.fromText("text")), withChild(row.fromObject(content)),
            refused(row.fromObject(content));  // an attached object is refused and left as it was
        const std::vector<int> expected = {row.tag, row.activateURLs, row.escape, row.enhance,
                                           row.startOnNewLine, row.endOnNewLine};
        for (const HTMLObject* node : {withText.get(), withChild.get(), refused.get()})
            EXPECT_EQ(expected, flags(node)) << row.name;
        EXPECT_STREQ("text", withText->data) << row.name;
        EXPECT_EQ(nullptr, withChild->data) << row.name;
        EXPECT_EQ(std::vector<HTMLObject*>({nullptr, content, nullptr}),
                  std::vector<HTMLObject*>({withText->child, withChild->child, refused->child}))
            << row.name;
        EXPECT_EQ(1 - row.childURLsOff, content->activateURLs) << row.name;
    }
}

TEST(Pages, StatusAndBodyByPageKind) {
    const std::pair<Page*, std::string> cases[] = {
        {new Page(kNoText), "Content-type: text/html\nStatus: 200 OK\nSet-Cookie: c=v; path=/;\n\n<html>\n</html>\n"},
        {new PageNoChange(new Body(kNoText)), "Content-type: text/html\nStatus: 204 No Change\n\n"},
        {new PageNoData(new Body(kNoText)), ""},
    };
    for (const auto& [page, expected] : cases) {
        SetCookie* cookie = new SetCookie("c", "v", 0);
        page->AddToList(cookie);
        page->AddToList(cookie);  // already in the chain: ignored
        ASSERT_EQ(nullptr, cookie->next);
        CaptureRequest out;
        page->emit(&out, 0, 1, "style0");
        EXPECT_EQ(expected, out.output);
        delete page;
    }
}

// A whole response: header chain, head, nested tables, inline tags, links
// with query strings, a preformatted block and activated text.
TEST(Pages, WholePageMatchesGolden) {
    const std::string js = TestFilePath("functions.js"), bodyFile = TestFilePath("body.html");
    Page page(kNoText);
    page.AddToList(new SetCookie("ZarvoUidCookie", "ann", 0));
    page.AddToList(new SetCookie("gone", nullptr, 0));  // no value: no header line
    page.AddToList(new WindowTarget(nullptr));
    page.AddToList(new FormattedCookie("single", "one", 0));
    page.AddToList(new ContentBase("http://h/"));
    page.AddToList(new WindowTarget("main"));

    Head* head = new Head(new Title("Users & groups"));
    Script* script = new Script("var x = 1 < 2;\n");
    script->addAttribute(ATTR_LANGUAGE, "JavaScript");
    // Includes follow the data in the order added; a missing file writes nothing; the first body file wins.
    script->IncludeJSFunction(js.c_str(), "second");
    script->IncludeFile("no/such/file.js");
    script->IncludeJSFunction(js.c_str(), "first");
    script->IncludeBody(bodyFile.c_str());  // the path is kept, not copied
    script->IncludeBody(js.c_str());
    head->addObject(script);
    page.addObject(head);
    Body* body = new Body(kNoText);
    body->addAttribute(ATTR_BGCOLOR, "#ffffff");
    page.addObject(body);
    body->addObject(new H1("Resource usage"));
    Table* outer = new Table(kNoText);
    outer->addAttribute(ATTR_BORDER, 1);
    TableRow* row = new TableRow(new TableData("Name"));
    Table* inner = new Table(new TableRow(new TableData("ann")));
    inner->addAttribute(ATTR_WIDTH, "100%");
    row->addObject(new TableData(inner));
    outer->addObject(row);
    body->addObject(outer);

    Url* encoded = new Url("/cgi/x.cgi");
    encoded->addAttribute("program", "navbar");
    encoded->addAttribute("na me", "a b&c<\xE9");
    encoded->addAttribute("n&", 3);  // a name with a number is written as given
    encoded->AddAnchorName("part2");
    HTMLObject* script2 = new HTMLObject("javascript:go()");
    script2->activateURLs = 0;
    Url* noBase = new Url(script2);  // no base: neither "?" nor parameters
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

    body->addObject(new B("bold"));
    Pre* pre = new Pre("x < y\n  z");  // includes are not copied into a preformatted block
    pre->IncludeJSCode(js.c_str());
    pre->addObject(new B(new Table(new TableRow("r<"))));
    body->addObject(pre);
    body->addObject(new Br(kNoText));
    body->addObject("see http://h/x", ZaTrue);

    CaptureRequest out;
    page.emit(&out, 0, 1, "style0");
    EXPECT_EQ(ReadTestFile("page.txt"), out.output);
}

}  // namespace
