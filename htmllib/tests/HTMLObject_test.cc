// The HTML tree: tables, attaching, attributes, escaping flags, the emitter's
// text, file inclusion, and very large trees.
#include "HTMLObject.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Links.h"
#include "capture_request.h"
#include "string_class.h"

namespace {

std::string Emit(HTMLObject* node, int indent = 0, int lineBreaks = 0) {
    CaptureRequest out;
    node->emit(&out, indent, lineBreaks, "style0");
    return out.output;
}

TEST(HTMLTables, RowsWithoutEndTextAndAttributeNames) {
    for (int tag : {TAG_P, TAG_IMG, TAG_BR, TAG_OPTION, TAG_INPUT, TAG_PARAM, TAG_BASEFONT, TAG_SPACER, TAG_URL, TAG_COUNT})
        EXPECT_STREQ("", HTMLTagEnd(tag)) << tag;
    EXPECT_EQ(std::vector<std::string>({"</hr>", "", "onMouseOver", "onFocus", ""}),
              std::vector<std::string>({HTMLTagEnd(TAG_HR), HTMLTagStart(TAG_CONTENTBASE), HTMLAttributeName(52),
                                        HTMLAttributeName(69), HTMLAttributeName(70)}));
}

TEST(HTMLEmit, SingleNodes) {
    HTMLObject* input = new HTMLObject(TAG_INPUT);
    input->addAttribute(ATTR_VALUE, "\"x\" <y>");
    input->addAttribute(ATTR_SIZE, String("a&b"));
    input->addAttribute("ignored", "v");
    input->addAttribute(ATTR_SRC, new HTMLObject(TAG_B, "t"));
    input->addStatusMessage("it's <here>");
    HTMLObject* list = new HTMLObject(TAG_NONE);
    list->addObject("b", ZaFalse);
    list->addObject(7);
    list->prependObject("a")->prependObject(new HTMLObject(TAG_BR));
    list->appendObject(new HTMLObject(TAG_HR));
    HTMLObject* bare = new HTMLObject(TAG_NONE);
    bare->escape = bare->enhance = 0;
    bare->addObject(new HTMLObject(TAG_B))->addObject("x < y\n", ZaFalse);
    HTMLObject* holder = new HTMLObject(TAG_NONE, "d<\n");
    holder->escape = holder->enhance = 0;
    holder->addObject(new HTMLObject(TAG_B, "&"));
    holder->addObject(new HTMLObject(TAG_I, "<\n"));
    struct Case {
        const char* what;
        HTMLObject* node;
        int indent, lineBreaks;
        std::string expected;
    } cases[] = {
        {"plain text: escaped, enhanced, linked; no brackets", new HTMLObject("a<b & see http://h/a.\nnext"), 4,
         1, "\n    a&lt;b &amp; see <A HREF=\"http://h/a\" target=\"_top\">http://h/a</A>.<BR>next\n    "},
        {"attribute values escaped when added; object values at indent 0", input, 4, 1,
         "\n    <input value=\"&quot;x&quot; &lt;y&gt;\" size=\"a&amp;b\" =\"v\" src=\"<b>t</b>\" "
         "onMouseOver=\"self.status='it's &lt;here&gt;'; return true\">\n    "},
        {"children in order, prepended text starts a line", list, 0, 1, "\n\n  <br>\n  \n  ab7\n  <hr>\n  </hr>\n"},
        {"unescaped, unenhanced node without data hands its flags down", bare, 0, 0, "<b>x < y\n</b>"},
        {"with data too, and to every child, not only the first", holder, 0, 0, "d<\n<b>&</b><i><\n</i>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, Emit(c.node, c.indent, c.lineBreaks)) << c.what;
        delete c.node;
    }
}

TEST(HTMLTree, DontEscapeCoversSubtreeAndOptionallySiblings) {
    for (ZaBoolean withSiblings : {ZaFalse, ZaTrue}) {
        HTMLObject root(TAG_BODY);
        HTMLObject* first = root.addObject(new HTMLObject(TAG_P));
        HTMLObject* grandchild = first->addObject(new HTMLObject(TAG_B));
        HTMLObject* nephew = root.addObject(new HTMLObject(TAG_P))->addObject(new HTMLObject(TAG_I));
        first->DontEscape(withSiblings);
        first->DontEnhance(withSiblings);
        EXPECT_EQ(0, first->escape + grandchild->escape + grandchild->enhance);
        EXPECT_EQ(withSiblings == ZaTrue ? 0 : 2, nephew->escape + nephew->enhance);
        EXPECT_EQ(1, root.escape);
    }
}

TEST(HTMLTree, AttachingTwiceOrBelowItselfIsRefused) {
    HTMLObject root(TAG_BODY);
    HTMLObject* node = new HTMLObject(TAG_P);
    EXPECT_EQ(node, root.addObject(node));
    EXPECT_EQ(nullptr, root.addObject(node));
    EXPECT_EQ(nullptr, root.addAttribute(ATTR_HREF, node));
    EXPECT_EQ(&root, root.prependObject(node));
    HTMLObject* value = new HTMLObject("v");
    ASSERT_NE(nullptr, root.addAttribute(ATTR_HREF, value));
    EXPECT_EQ(nullptr, root.addObject(value));
    EXPECT_EQ(nullptr, root.addObject(static_cast<HTMLObject*>(nullptr)));
    EXPECT_EQ(node, root.child);
    EXPECT_EQ(nullptr, node->next);
    root.addData(-12);
    root.addData(root.data);  // replacing data with itself keeps it
    EXPECT_STREQ("-12", root.data);

    HTMLObject self(TAG_P);
    EXPECT_EQ(nullptr, self.addObject(&self));
    EXPECT_EQ(nullptr, self.addAttribute(ATTR_HREF, &self));
    self.prependObject(&self);
    self.addAttribute(ATTR_SRC, "s");
    self.AppendToAttribute(ATTR_SRC, &self);
    EXPECT_EQ(nullptr, self.child);
    EXPECT_EQ(nullptr, self.attributes->object);
    EXPECT_EQ(0, self.attached);
}

TEST(HTMLTree, AppendingFindsTheEndOfAChainChangedFromOutside) {
    HTMLObject list(TAG_NONE);
    list.addObject(new HTMLObject("1"))->addNextObject(new HTMLObject("2"));
    list.addObject(new HTMLObject("3"));
    list.prependObject(new HTMLObject("0"));
    list.addObject(new HTMLObject("4"));
    HTMLObject* replaced = list.child;
    list.child = new HTMLObject("n");
    list.addObject(new HTMLObject("5"));
    EXPECT_EQ("n5", Emit(&list));
    list.child->next->next = replaced;
    EXPECT_EQ("n501234", Emit(&list));

    // A link replaced inside the chain cuts the remembered end off it.
    HTMLObject parent(TAG_NONE);
    HTMLObject* a = parent.addObject(new HTMLObject("a"));
    std::unique_ptr<HTMLObject> b(parent.addObject(new HTMLObject("b")));  // unlinked below
    a->addNextObject(new HTMLObject("d"));
    parent.addObject(new HTMLObject("e"));
    EXPECT_EQ("ade", Emit(&parent));
}

TEST(HTMLAttributes, AppendModifyDelete) {
    HTMLObject a(TAG_A);
    a.addAttribute(ATTR_ONCLICK, "old()");
    a.addAttribute(ATTR_WIDTH, 10);
    EXPECT_NE(nullptr, a.AppendToAttribute(ATTR_ONCLICK, "new(\"x\")"));
    EXPECT_EQ(nullptr, a.AppendToAttribute(ATTR_TARGET, "<t>"));
    EXPECT_EQ(nullptr, a.ModifyAttribute(ATTR_ALIGN, "7"));
    EXPECT_EQ("<a onClick=\"new(&quot;x&quot;);old()\" width=\"10\" target=\"&lt;t&gt;\"></a>", Emit(&a));
    EXPECT_NE(nullptr, a.ModifyAttribute(ATTR_TARGET, "a&b"));
    EXPECT_NE(nullptr, a.ModifyAttribute(ATTR_ONCLICK, 5));
    EXPECT_EQ(ZaTrue, a.DeleteAttribute(ATTR_WIDTH));
    EXPECT_EQ(ZaFalse, a.DeleteAttribute(ATTR_WIDTH));
    EXPECT_EQ("<a onClick=\"5\" target=\"a&amp;b\"></a>", Emit(&a));

    HTMLObject q(TAG_NONE);
    q.addAttribute("First", "1");
    q.addAttribute("second", 2);
    q.addAttribute(ATTR_NAME, "n");
    q.addAttribute("third", "3");
    EXPECT_NE(nullptr, q.ModifyAttribute("FIRST", "<1>"));
    EXPECT_NE(nullptr, q.ModifyAttribute("Second", 22));
    EXPECT_EQ(nullptr, q.ModifyAttribute("third", "x"));  // behind a nameless attribute
    EXPECT_EQ(ZaTrue, q.DeleteAttribute("third"));        // deleting searches past it
    EXPECT_EQ(ZaFalse, q.DeleteAttribute("missing"));
    EXPECT_EQ(" =\"&lt;1&gt;\" =\"22\" name=\"n\"", Emit(&q));

    HTMLObject link(TAG_A);  // object values are appended as children
    link.AppendToAttribute(ATTR_HREF, new HTMLObject("one"));
    link.AppendToAttribute(ATTR_HREF, new HTMLObject("two"));
    link.addAttribute(ATTR_TITLE, "t");
    link.AppendToAttribute(ATTR_TITLE, new HTMLObject("3"));
    EXPECT_EQ("<a href=\"onetwo\" title=\"t3\"></a>", Emit(&link));
}

// Appending remembers the end of the attribute list; deleting that end or
// replacing the list from outside must not leave it pointing astray.
TEST(HTMLAttributes, AppendingAfterTheEndChanged) {
    HTMLObject deleted(TAG_A);
    deleted.addAttribute(ATTR_NAME, "a");
    deleted.addAttribute(ATTR_WIDTH, 1);
    deleted.DeleteAttribute(ATTR_WIDTH);
    deleted.addAttribute(ATTR_TARGET, "t");
    EXPECT_EQ("<a name=\"a\" target=\"t\"></a>", Emit(&deleted));

    HTMLObject replaced(TAG_A);
    replaced.addAttribute(ATTR_NAME, "old");
    delete replaced.attributes;
    replaced.attributes = new HTMLAttribute(ATTR_TITLE, "new", nullptr, nullptr);
    replaced.addAttribute(ATTR_TARGET, "t");
    EXPECT_EQ("<a title=\"new\" target=\"t\"></a>", Emit(&replaced));

    // A link with a parameter per repeated request value is built in linear time.
    constexpr int kCount = 200000;
    Url many("x");
    for (int i = 0; i < kCount; ++i) many.addAttribute("p", "v");
    EXPECT_EQ(1 + 4 * kCount, static_cast<int>(Emit(&many).size()));
}

TEST(HTMLIncludes, FilesAndFunctions) {
    const std::string js = TestFilePath("functions.js"), body = TestFilePath("body.html");
    struct Case {
        const char* path;
        const char* function;  // null: the whole file; "<body>": its HTML body
        int result;
        std::string text;
    } cases[] = {
        {js.c_str(), "FIRST", 0, "function first(a)\n{\n  return a + 1;\n}\n"},
        {js.c_str(), "functionality", -1, ""},
        {js.c_str(), "last", -1, "function last() {\n  return counter;\n"},  // the file ends first
        {"no/such/file.js", "first", -1, ""},
        {js.c_str(), nullptr, 0, ReadTestFile("functions.js") + "\n\n"},
        {"no/such/file.js", nullptr, -1, ""},
        {body.c_str(), "<body>", 0, "<h1>Help</h1>\n<p>Read this.\n"},
        {js.c_str(), "<body>", 0, ""},
        {"no/such/file.html", "<body>", -1, ""},
    };
    HTMLObject node;
    for (const Case& c : cases) {
        CaptureRequest out;
        std::string kind = c.function ? c.function : "";
        int result = kind == "<body>" ? node.EmitHTMLBody(&out, c.path)
                     : c.function      ? node.EmitJSFunction(&out, c.path, c.function)
                                       : node.EmitJSCode(&out, c.path);
        EXPECT_EQ(c.result, result) << c.path << " " << kind;
        EXPECT_EQ(c.text, out.output) << c.path << " " << kind;
    }
}

// Deep trees and long chains are emitted and freed without recursion, and a
// node with very many children is built in linear time.
TEST(HTMLTree, VeryLargeTrees) {
    constexpr size_t kCount = 200000;
    HTMLObject* deep = new HTMLObject(TAG_NONE);
    HTMLObject* tip = deep;
    for (size_t i = 0; i < kCount; ++i) tip = tip->addObject(new HTMLObject(TAG_B, "d"));
    tip->addAttribute(ATTR_NAME, new HTMLObject("end"));
    std::string text = Emit(deep);
    EXPECT_EQ(kCount * 8 + 11, text.size());
    EXPECT_EQ("<b>d<b>d", text.substr(0, 8));
    EXPECT_EQ("<b name=\"end\">d</b></b>", text.substr(kCount * 4 - 4, 23));
    deep->DontEscape(ZaTrue);
    EXPECT_EQ(0, tip->escape);
    delete deep;

    HTMLObject* row = new HTMLObject(TAG_TR);
    for (size_t i = 0; i < kCount; ++i) row->addObject(new TableData("c"));
    text = Emit(row, 0, 1);
    EXPECT_EQ(kCount * 13 + 11, text.size());
    EXPECT_EQ("\n<tr>\n  <td>c</td>\n  <td>c</td>", text.substr(0, 31));
    delete row;
}

}  // namespace
