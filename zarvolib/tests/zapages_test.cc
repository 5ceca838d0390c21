// Page, frameset and navigation-bar widgets, and the streamed page.
#include <memory>
#include <string>

#include "widget_support.h"
#include "zaimages.h"
#include "zapages.h"
#include "zastyle.h"

namespace {

TEST(ZaPageGolden, StyledPageWithScriptsAndBody) {
    ZaStyle style("style1", nullptr);
    style.mainPage->SetBgGif("../../../config/style/paper.gif");
    ZaPage* page = new ZaPage(style.mainPage);
    page->AddJSSubmitForm();
    page->AddJSConfirmDelete();
    page->AddJSVar("count", 3);
    page->AddJSVar("who", "'jo'");
    page->SetHelpContext("Create New Account");
    page->AddFormFocusTo("createform", "uid");
    page->AddJSCloseChild();
    page->AppendToBody("Fish & chips");
    page->AppendToBody(42);
    page->AppendToBody(new B("bold"));
    ExpectGolden("page_styled.html", Emitted(page, "style1"));
}

TEST(ZaPage, WithoutStyleIsWhite) {
    EXPECT_NE(std::string::npos, Emitted(new ZaPage()).find("<body bgcolor=\"#ffffff\">\n  </body>"));
}

TEST(ZaWindow, ScriptOperationsShareOneScript) {
    ZaWindow* window = new ZaWindow();
    EXPECT_EQ(nullptr, window->script);
    window->AddJSCurrentlyIn();
    Script* first = window->script;
    window->AddJSConfirm();
    window->AddJSVar("n", 1);
    EXPECT_EQ(first, window->script);
    std::string included;
    for (ValNameListItem* item = first->includes->head; item; item = item->next)
        included += std::string(item->name) + " " + item->value + "\n";
    EXPECT_EQ("../../common/bin/init.js \n../../common/bin/setcurrent.js onUnloadInit\n"
              "../../common/bin/confirm.js MyConfirm\n",
              included);
    std::string html = Emitted(window);
    EXPECT_EQ(html.find("<script"), html.rfind("<script"));
}

TEST(ZaFrameSetPageGolden, FramesAndNavbars) {
    ZaStyle style("style1", nullptr);
    ZaAppFrameSet* frames = new ZaAppFrameSet(style.lowerFrame);
    frames->AddNewFrame(new Url("operadmin.cgi"), "navbar_frame", ZaFalse);
    frames->AddNewFrameNoSpace(new Url("front.cgi"), "main_frame", ZaTrue);
    ExpectGolden("frameset.html", Emitted(frames, "style1"));
    EXPECT_NE(std::string::npos, Emitted(new ZaFrameSetPage(ATTR_ROWS, "37,*"), "s").find(
                                     "<frameset rows=\"37,*\" border=\"0\" frameborder=\"0\" framespacing=\"0\">"));
    EXPECT_NE(std::string::npos, Emitted(new ZaTopFrameSet(style.upperFrame), "s").find("<frameset rows=\"50,*\""));

    ZaAppNavbar* side = new ZaAppNavbar(style.lowerPage);
    side->AddElement(new ZaImageButton("side_home", "operadmin.cgi", "Home"));
    side->AddElementToTable(new ZaImageButton("side_users", "users.cgi", "Users"));
    side->AddElementToTable(new ZaImageButton("side_logs", "logs.cgi", "Logs"));
    ExpectGolden("app_navbar.html", Emitted(side, "style1"));

    ZaTopNavbar* top = new ZaTopNavbar(style.mainPage, ZaFalse);
    top->AddElement(new ZaImageButton("tab_a", "a.cgi", "A"));
    top->AddElement(new ZaImage("tab_sep"));
    top->NewRow();
    top->AddElement(new ZaImageButton("tab_b", "b.cgi", "B"));
    ExpectGolden("top_navbar.html", Emitted(top, "style1"));
}

TEST(ZaStreamPageGolden, PiecesReachTheOutputOneByOne) {
    CaptureRequest out;
    auto* page = new ZaStreamPage(&out, "Manage Log", "style2");
    EXPECT_EQ(1u, out.flushes.size());
    EXPECT_EQ(out.output.size(), out.flushes.back());
    const std::string pieces[] = {"first & line", "42", "<b>third</b>"};
    page->addObject(pieces[0].c_str(), ZaFalse);
    EXPECT_NE(std::string::npos, out.output.find("first &amp; line"));
    EXPECT_EQ(std::string::npos, out.output.find("42"));
    EXPECT_EQ(2u, out.flushes.size());
    page->addObject(42);
    EXPECT_NE(std::string::npos, out.output.find("42"));
    EXPECT_EQ(std::string::npos, out.output.find("third"));
    EXPECT_EQ(3u, out.flushes.size());
    EXPECT_EQ(nullptr, page->addObject(new B("third")));
    EXPECT_EQ(4u, out.flushes.size());
    EXPECT_EQ(out.output.size(), out.flushes.back());
    EXPECT_EQ(std::string::npos, out.output.find("</html>"));
    EXPECT_EQ(nullptr, page->addObject(page));  // refused: the page goes on
    EXPECT_EQ(4u, out.flushes.size());
    page->emit(&out, 0, 1, "style2");  // nothing more: everything has been sent
    size_t beforeEnd = out.output.size();
    delete page;
    EXPECT_EQ("</body></html>", out.output.substr(beforeEnd));
    ExpectGolden("stream_page.html", out.output);
}

TEST(ZaStreamPage, NoHelpContext) {
    CaptureRequest out;
    delete new ZaStreamPage(&out, nullptr, nullptr);
    EXPECT_EQ("Content-type: text/html\nStatus: 200 OK\n\n<html><body bgcolor=\"#ffffff\"></body></html>", out.output);
}

}  // namespace
