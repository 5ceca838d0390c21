// Styles, their settings, and streaming files to the browser.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "widget_support.h"
#include "zaconfigDB.h"
#include "zastyle.h"

namespace {

// One line per frameset part ("rows|cols sizes": upper, logo, alt upper, alt
// logo, lower, selector, help), then one per page part ("colour image": logo,
// upper, alt logo, alt upper, lower, main, selector, help).
std::string Describe(const ZaStyle& s) {
    std::string text;
    for (ZaFrameSetStyle* f : {s.upperFrame, s.logoFrame, s.altUpperFrame, s.altLogoFrame, s.lowerFrame,
                               s.selectorFrame, s.helpFrame})
        text += std::string(f->rowOrCol == ATTR_ROWS ? "rows " : "cols ") + f->dimensions + "\n";
    for (ZaPageStyle* p : {s.logoPage, s.upperPage, s.altLogoPage, s.altUpperPage, s.lowerPage, s.mainPage,
                           s.selectorPage, s.helpPage})
        text += std::string(p->bgColor) + " " + (p->bgGif ? p->bgGif : "-") + "\n";
    return text;
}

const char kDefaults[] =
    "rows 50,*\ncols 90,*\nrows 50,*\ncols 90,*\ncols 90,*\nrows 65,*\nrows 65,*\n"
    "#639c9c -\n#639c9c -\n#639c9c -\n#639c9c -\n#cece9c -\n#ffffff -\n#cece9c -\n#cece9c -\n";

TEST(ZaStyle, ConstructorsNamesDefaultsAndGifPath) {
    const struct {
        ZaStyle* style;
        int id;
        const char* name;
        const char* displayName;
        const char* gifPath;
    } cases[] = {{new ZaStyle(-1), -1, nullptr, nullptr, "images/bdone.gif"},
                 {new ZaStyle("style2", nullptr), 0, "style2", "style2", "images/style2/bdone.gif"},
                 {new ZaStyle(7, "style3", "Ocean"), 7, "style3", "Ocean", "images/style3/bdone.gif"}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.id, c.style->id);
        EXPECT_STREQ(c.name, c.style->name);
        EXPECT_STREQ(c.name, c.style->imageDir);
        EXPECT_STREQ(c.displayName, c.style->displayName);
        EXPECT_EQ(kDefaults, Describe(*c.style));
        std::unique_ptr<char, decltype(&free)> path(c.style->GetGifPath("bdone"), &free);
        EXPECT_STREQ(c.gifPath, path.get());
        delete c.style;
    }
}

TEST(ZaStyle, Settings) {
    ZaStyle untouched("style1", nullptr);
    ValNameList unknown;
    unknown.Append("somethingElse", "1");
    untouched.InitFromList(&unknown);
    untouched.InitFromList(nullptr);
    EXPECT_EQ(kDefaults, Describe(untouched));
    unknown.Append("LOWERFRAMEWIDTH", "120");  // keys ignore letter case
    untouched.InitFromList(&unknown);
    EXPECT_STREQ("120,*", untouched.lowerFrame->dimensions);

    ZaStyle style("style1", nullptr);
    ValNameList settings;
    const char* keys[][2] = {
        {"upperFrameHeight", "60"},       {"logoFrameWidth", "100"},      {"lowerFrameWidth", "120"},
        {"logoBackcolor", "#000001"},     {"logoBackgroundGIF", "l.gif"}, {"upperBackcolor", "#000002"},
        {"upperBackgroundGIF", "u.gif"},  {"lowerBackcolor", "#000003"},  {"lowerBackgroundGIF", "w.gif"},
        {"mainBackcolor", "#000004"},     {"mainBackgroundGIF", "m.gif"}, {"selectorFrameHeight", "70"},
        {"selectorBackcolor", "#000005"}, {"selectorBackgroundGIF", "s.gif"}, {"helpFrameHeight", "80"},
        {"helpBackcolor", "#000006"},     {"helpBackgroundGIF", "h.gif"},
    };
    for (auto& key : keys) settings.Append(key[0], key[1]);
    style.InitFromList(&settings);
    const std::string dir = "../../../config/style/";
    EXPECT_EQ("rows 60,*\ncols 100,*\nrows 50,*\ncols 90,*\ncols 120,*\nrows 70,*\nrows 80,*\n#000001 " + dir +
                  "l.gif\n#000002 " + dir + "u.gif\n#639c9c -\n#639c9c -\n#000003 " + dir + "w.gif\n#000004 " + dir +
                  "m.gif\n#000005 " + dir + "s.gif\n#000006 " + dir + "h.gif\n",
              Describe(style));
    style.InitColors();  // back to the defaults, the replaced parts freed
    EXPECT_EQ(kDefaults, Describe(style));
}

// Answers MIME types for a few extensions and remembers what it was asked.
class FakeConfig : public ZaConfigDB {
public:
    FakeConfig() : ZaConfigDB("no-such-config-file.lst") {}
    std::string asked = "(none)";
    char* FindMimeType(const char* ext) override {
        asked = ext ? ext : "(null)";
        return strdup(ext && std::string(ext) == "pdf" ? "application/pdf" : "text/plain");
    }
};

class StreamFileTest : public ::testing::Test {
protected:
    std::string path = std::string(ZA_BINARY_DIR) + "/stream_file_test.bin";
    void Write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    void TearDown() override { unlink(path.c_str()); }
};

TEST_F(StreamFileTest, SendsEveryByte) {
    std::string bytes;
    for (int i = 0; i < 40000; i++) bytes += static_cast<char>((i * 31) % 256);  // NULs and high bytes
    Write(bytes);
    FakeConfig config;
    const struct {
        const char* name;
        const char* mime;
        const char* type;
        const char* asked;
    } cases[] = {{"report.pdf", nullptr, "application/pdf", "pdf"},
                 {"pic.gif", "image/gif", "image/gif", "(none)"},
                 {"README", nullptr, "text/plain", "(null)"}};
    for (const auto& c : cases) {
        config.asked = "(none)";
        CaptureRequest out;
        EXPECT_EQ(1, ZaStreamFile(&out, c.name, path.c_str(), &config, c.mime));
        EXPECT_EQ(c.asked, config.asked) << c.name;
        std::string head = std::string("Content-type: ") + c.type + "\nStatus: 200 OK\nContent-disposition: filename=" +
                           c.name + "\n\n";
        EXPECT_EQ(head + bytes, out.output) << c.name;
    }
}

TEST_F(StreamFileTest, EmptyOrMissingFile) {
    Write("");
    CaptureRequest out;
    EXPECT_EQ(1, ZaStreamFile(&out, "e.txt", path.c_str(), nullptr, "text/plain"));
    EXPECT_EQ("Content-type: text/plain\nStatus: 200 OK\nContent-disposition: filename=e.txt\n\n\n", out.output);
    CaptureRequest nothing;
    EXPECT_EQ(0, ZaStreamFile(&nothing, "x", nullptr, nullptr, "text/plain"));
    EXPECT_EQ(0, ZaStreamFile(&nothing, "x", (path + ".missing").c_str(), nullptr, "text/plain"));
    EXPECT_EQ("", nothing.output);
}

TEST_F(StreamFileTest, ReadErrorIsPassedOn) {
    CaptureRequest out;
    ZaError* error = nullptr;
    try {
        ZaStreamFile(&out, "dir", ZA_BINARY_DIR, nullptr, "text/plain");  // a directory cannot be read
    } catch (ZaError* e) {
        error = e;
    }
    ASSERT_NE(nullptr, error);
    ASSERT_NE(nullptr, error->lines.head);
    std::string newest = error->lines.head->value;
    EXPECT_NE(std::string::npos, newest.find("zarvolib/src/vdocutil : Error streaming the file")) << newest;
    delete error;
}

TEST_F(StreamFileTest, PrivateCopy) {
    Write(std::string("a\0b", 3));
    std::unique_ptr<char, decltype(&free)> copy(ZaGetFilePath(path.c_str()), &free);
    ASSERT_NE(nullptr, copy.get());
    std::ifstream in(copy.get(), std::ios::binary);
    EXPECT_EQ(std::string("a\0b", 3), std::string(std::istreambuf_iterator<char>(in), {}));
    unlink(copy.get());
    EXPECT_EQ(nullptr, ZaGetFilePath((path + ".missing").c_str()));
}

}  // namespace
