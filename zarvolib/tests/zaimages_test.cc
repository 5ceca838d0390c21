// Images, icon links, image buttons, labels and indentation.
#include <memory>
#include <string>

#include "widget_support.h"
#include "zaimages.h"
#include "zastyle.h"

namespace {

// A navigation block of every kind of image button, emitted under a style.
std::string ButtonBlock(const char* style) {
    Center* block = new Center(static_cast<const char*>(nullptr));
    block->addObject(new ZaImageButton("bdone", "operadmin.cgi?program=front", "Go \"back\""));
    Url* save = new Url("operadmin.cgi");
    save->addAttribute("program", "saveIt");
    ZaImageButton* saveButton = new ZaImageButton(save, "bsave", "Save");
    saveButton->SetTarget("manage_users_frame");
    block->addObject(saveButton);
    block->addObject(new ZaImageButton(new Url("x.cgi"), "../pics/logo.gif", "Logo", ZaTrue));
    ZaCommonImageButton* help = new ZaCommonImageButton("side_help", "javascript:donothing()", "Help");
    help->SetAlignment("right");
    block->addObject(help);
    block->addObject(new ZaCommonImageButton(new Url("help.cgi"), "bhelp", "More help"));
    return Emitted(block, style);
}

TEST(ZaImageButtonGolden, NamedStyle) { ExpectGolden("image_buttons_style3.html", ButtonBlock("style3")); }

TEST(ZaImageButtonGolden, BuiltInStyle) { ExpectGolden("image_buttons_builtin.html", ButtonBlock(nullptr)); }

TEST(ZaImageGolden, Sources) {
    P* images = new P(static_cast<const char*>(nullptr));
    images->addObject(new ZaImage("mpersonicon"));
    images->addObject(new ZaImage("bar", 5, 6));
    ZaImage* path = new ZaImage("/img/x.gif");
    path->GifSrc();
    images->addObject(path);
    Url* photo = new Url("p.cgi");
    photo->addAttribute("uid", "a b");
    images->addObject(new ZaImage(photo));
    images->addObject(new ZaCommonImage("mgroupicon"));
    images->addObject(new ZaSpacer(0, 7));
    for (ZaImage* standard : {ZaGetPersonGif("jo smith", "thumb", ZaFalse), ZaGetPersonGif("jo", nullptr, ZaFalse),
                              ZaGetZarvoCompanyGif(), ZaGetCompanyLogo("2"), ZaGetFrontPageLogo(), ZaGetZarvoLogo()})
        images->addObject(standard);
    ExpectGolden("images.html", Emitted(images, "style2"));
}

TEST(ZaImage, EmittedTwiceKeepsOneSource) {
    ZaImage image("x");
    CaptureRequest first, second;
    image.emit(&first, 0, 1, "a");
    image.emit(&second, 0, 1, "b");
    EXPECT_EQ("<img border=\"0\" src=\"images/b/x.gif\">", second.output);
}

TEST(StandardImages, PhotoWithTimeChangesUrl) {
    std::string html = Emitted(ZaGetPersonGif("jo", nullptr, ZaTrue));
    size_t at = html.find("&curtime=");
    ASSERT_NE(std::string::npos, at);
    EXPECT_GT(atol(html.c_str() + at + 9), 1000000000L);
}

TEST(IconLinks, Golden) {
    P* block = new P(static_cast<const char*>(nullptr));
    block->addObject(new ZaPersonLink("Ann"));
    block->addObject(new ZaPersonLink("Ann <A>", "ann 1"));
    block->addObject(new ZaCenterAlignedPersonLink("Ann"));
    block->addObject(new ZaGroupLink("Team"));
    block->addObject(new ZaGroupLink("Team", "g&1"));
    block->addObject(new ZaCenterAlignedGroupLink("Team"));
    block->addObject(new ZaDocumentLink("plan.txt"));
    block->addObject(new ZaDocumentLink("plan.htm", new Url("doc.cgi"), "Read it"));
    block->addObject(new ZaDocumentLink("plan.HTML", new Url("doc.cgi"), "Read it"));
    block->addObject(new ZaDocumentLink("plan.txt", nullptr, "No link"));
    block->addObject(new ZaCenterAlignedDocumentLink("plan.txt"));
    ExpectGolden("icon_links.html", Emitted(block, "style1"));
}

TEST(ZaLabel, HighlightsWords) {
    const struct {
        const char* text;
        std::vector<std::string> words;
        const char* expected;
    } cases[] = {
        {"plain & simple", {}, "plain &amp; simple"},
        {"Find the cat", {"CAT"}, "Find the <font color=\"red\"><b>cat</b></font>"},
        {"cat dog cat", {"dog", "cat"},
         "<font color=\"red\"><b>cat</b></font> <font color=\"red\"><b>dog</b></font> "
         "<font color=\"red\"><b>cat</b></font>"},
        {"catalog", {"cat", "catalog"}, "<font color=\"red\"><b>cat</b></font>alog"},
    };
    for (const auto& c : cases) {
        std::unique_ptr<ValList> words(MakeList(c.words));
        EXPECT_EQ(c.expected, Emitted(new ZaLabel(c.text, words.get()))) << c.text;
    }
}

TEST(ZaIndentObject, WritesUnescapedSpacesOnly) {
    EXPECT_EQ("&nbsp;&nbsp;&nbsp;", Emitted(new ZaIndentObject(3)));
    EXPECT_EQ("", Emitted(new ZaIndentObject(0)));
    EXPECT_EQ("", Emitted(new ZaIndentObject(-2)));
    EXPECT_EQ("&nbsp;<b>a &amp; b</b>", Emitted(new ZaIndentObject(new B("a & b"), 1)));
}

}  // namespace
