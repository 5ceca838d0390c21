// Tag classes, Pre and the pages, with a whole page compared byte for byte
// against its golden file.
#include "Classes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_request.h"
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

#define ROW(Name, tag, urls, esc, enh, start, end, childOff)                                   \
    TagClassRow {                                                                            \
        #Name, [](const char* t) -> HTMLObject* { return new Name(t); },                     \
            [](HTMLObject* o) -> HTMLObject* { return new Name(o); }, tag, urls, esc, enh, start, end, \
            childOff                                                                         \
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
        ROW(Table, 29, 1, 1, 1, 1, 1, 0),   ROW(A, 30, 1, 1, 1, 1, 0, 0),      ROW(Img, 31, 0, 1, 1, 1, 0, 0),
        ROW(Center, 32, 1, 1, 1, 1, 0, 0),  ROW(I, 33, 1, 1, 1, 0, 0, 0),      ROW(Br, 34, 1, 1, 1, 1, 0, 0),
        ROW(Select, 35, 0, 1, 0, 1, 1, 0),  ROW(Option, 36, 0, 1, 0, 1, 0, 0), ROW(Input, 37, 0, 1, 0, 1, 0, 0),
        ROW(Applet, 38, 0, 1, 1, 1, 1, 0),  ROW(FrameSet, 39, 0, 1, 1, 1, 1, 0), ROW(Param, 40, 0, 1, 1, 1, 0, 0),
        ROW(Frame, 41, 0, 1, 1, 1, 0, 0),   ROW(Script, 42, 0, 0, 0, 1, 1, 0), ROW(Font, 43, 1, 1, 1, 0, 0, 0),
        ROW(B, 44, 1, 1, 1, 0, 0, 0),       ROW(NoBR, 48, 0, 1, 1, 1, 0, 0),   ROW(Strong, 49, 1, 1, 1, 1, 1, 0),
        ROW(TextArea, 50, 0, 1, 0, 1, 0, 0), ROW(BaseFont, 51, 1, 1, 1, 0, 0, 0), ROW(Spacer, 52, 1, 1, 1, 1, 0, 0),
        ROW(Ul, 56, 1, 1, 1, 1, 1, 0),
    };
    for (const TagClassRow& row : rows) {
        HTMLObject* withText = row.fromText("text");
        HTMLObject* content = new HTMLObject("inner");
        HTMLObject* withChild = row.fromObject(content);
        const std::vector<int> expected = {row.tag, row.activateURLs, row.escape, row.enhance,
                                           row.startOnNewLine, row.endOnNewLine};
        for (HTMLObject* node : {withText, withChild})
            EXPECT_EQ(expected, (std::vector<int>{node->tag, node->activateURLs, node->escape, node->enhance,
                                                  node->startOnNewLine, node->endOnNewLine}))
                << row.name;
        EXPECT_STREQ("text", withText->data) << row.name;
        EXPECT_EQ(nullptr, withText->child) << row.name;
        EXPECT_EQ(nullptr, withChild->data) << row.name;
        EXPECT_EQ(content, withChild->child) << row.name;
        EXPECT_EQ(1 - row.childURLsOff, content->activateURLs) << row.name;

        // An attached object is refused by the constructor and left as it was.
        HTMLObject* refused = row.fromObject(content);
        EXPECT_EQ(nullptr, refused->child) << row.name;
        EXPECT_EQ(1 - row.childURLsOff, content->activateURLs) << row.name;
        delete refused;
        delete withText;
        delete withChild;
    }
}

TEST(PreBlocks, ContentIsWrittenAsStoredWithoutBreaks) {
    Body body(kNoText);
    Pre* pre = new Pre("a < b\n");
    pre->IncludeJSCode(TestFilePath("functions.js").c_str());
    pre->addObject(new B(new Table(new TableRow("r<"))));
    body.addObject(pre);
    body.addObject(new Hr(kNoText));
    CaptureRequest out;
    body.emit(&out, 0, 1, "style0");
    EXPECT_TRUE(SameBytes("\n<body>\n  <pre>a < b\n<b><table><tr>r&lt;</tr></table></b></pre>\n  <hr>\n  </hr>\n</body>",
                          out.output));
}

TEST(Pages, StatusAndBodyByPageKind) {
    struct Case {
        Page* page;
        std::string expected;
    } cases[] = {
        {new Page(kNoText), "Content-type: text/html\nStatus: 200 OK\nSet-Cookie: c=v; path=/;\n\n<html>\n</html>\n"},
        {new PageNoChange(new Body(kNoText)), "Content-type: text/html\nStatus: 204 No Change\n\n"},
        {new PageNoData(new Body(kNoText)), ""},
    };
    for (Case& c : cases) {
        c.page->AddToList(new SetCookie("c", "v", 0));
        CaptureRequest out;
        c.page->emit(&out, 0, 1, "style0");
        EXPECT_TRUE(SameBytes(c.expected, out.output));
        delete c.page;
    }
}

TEST(Pages, WholePageMatchesGolden) {
    Page page(kNoText);
    Head* head = new Head(new Title("Users & groups"));
    Script* script = new Script("var x = 1 < 2;\n");
    script->addAttribute(ATTR_LANGUAGE, "JavaScript");
    script->IncludeJSFunction(TestFilePath("functions.js").c_str(), "first");
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

    A* link = new A("home");
    Url* url = new Url("/cgi-bin/operadmin.cgi");
    url->addAttribute("program", "navbar");
    url->addAttribute("who", "a b");
    url->AddAnchorName("top");
    link->addAttribute(ATTR_HREF, url);
    body->addObject(link);
    body->addObject(new B("bold"));
    body->addObject(new Pre("x < y\n  z"));
    body->addObject(new Br(kNoText));
    body->addObject("see http://h/x", ZaTrue);

    page.AddToList(new SetCookie("ZarvoUidCookie", "ann", 0));
    page.AddToList(new WindowTarget(nullptr));
    ValList selection;
    selection.Append("a")->Append("b");
    page.AddToList(new FormattedCookie("Sel", &selection, 0));

    CaptureRequest out;
    page.emit(&out, 0, 1, "style0");
    EXPECT_TRUE(SameBytes(ReadTestFile("page.txt"), out.output));
}

}  // namespace
