#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "string_request.h"
#include "vallist.h"

namespace {

const char kType[] = "multipart/form-data; boundary=BND";

std::string Field(const std::string& name, const std::string& value) {
    return "--BND\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

std::string File(const std::string& name, const std::string& file, const std::string& content) {
    return "--BND\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + file +
           "\"\r\nContent-Type: text/plain\r\n\r\n" + content + "\r\n";
}

// One decoded part: name, value and, for an upload, "file:" and its content.
using Part = std::vector<std::string>;

// Decodes body and reads (then removes) the temporary files of the uploads.
std::vector<Part> Decode(const std::string& body, int browser = 0, double version = 0,
                         int system = 0, const char* type = kType) {
    StringRequest r("preamble\r\n" + body);
    r.browserType = browser;
    r.browserVersion = version;
    r.systemType = system;
    std::unique_ptr<ValNameList> list(r.ParseMultiPartForm(const_cast<char*>(type)));
    std::vector<Part> parts;
    for (ValNameListItem* i = list ? list->head : nullptr; i; i = i->next) {
        Part p{i->name ? i->name : "<null>", i->value, ""};
        if (i->extra1) p[2] = "file:" + ReadFile(i->extra1);
        if (i->extra1) unlink(i->extra1);
        parts.push_back(p);
    }
    return parts;
}

TEST(MultipartTest, DecodesFieldsAndUploads) {
    const std::string longLine(3000, 'z');
    const std::string cutAtCR(1020, 'x');  // the first piece ends with the CR
    struct Case { std::string body; int browser; double version; int system; std::vector<Part> want; };
    const std::vector<Case> cases = {
        {Field("a", "1") + File("up", "C:\\dir\\f.txt", "l1\r\nl2") + "--BND--\r\n", 0, 0, 0,
         {{"a", "1", ""}, {"up", "f.txt", "file:l1\r\nl2"}}},
        {File("up", "", "text") + "--BND--", 0, 0, 0, {{"up", "text", ""}}},
        {Field("t", "l1\r\nl2\r\nl3") + "--BND--\r\n", 2, 3.02, 0, {{"t", "l1\r\nl2\r\nl3", ""}}},
        {Field("t", "l1\r\nl2\r\nl3") + "--BND--\r\n", 2, 4.0, 0, {{"t", "l1l2l3", ""}}},
        {Field("v", longLine) + File("f", "a.bin", longLine + "\r\n" + longLine) + "--BND--\r\n",
         0, 0, 0, {{"v", longLine, ""}, {"f", "a.bin", "file:" + longLine + "\r\n" + longLine}}},
        {Field("v", cutAtCR) + File("f", "c.bin", cutAtCR + "\r\n" + cutAtCR) + "--BND--", 0, 0, 0,
         {{"v", cutAtCR, ""}, {"f", "c.bin", "file:" + cutAtCR + "\r\n" + cutAtCR}}},
        {File("f", "a%20b.txt", "") + "--BND--", 0, 0, 1, {{"f", "a b.txt", "file:"}}},
        {Field("", "") + "--BND\r\nX-Other: y\r\n\r\nv\r\n--BND--", 0, 0, 0, {{"", "", ""}, {"<null>", "v", ""}}},
        // Lines that only resemble the boundary are content.
        {Field("v", "x\r\n--BN\r\n--BNDX\r\n--\r\n--BN--") + "--BND--", 0, 0, 0,
         {{"v", "x\r\n--BN\r\n--BNDX\r\n--\r\n--BN--", ""}}},
        // The input ends inside a part: only the finished parts count.
        {Field("a", "1") + File("f", "cut.txt", "partial"), 0, 0, 0, {{"a", "1", ""}}},
        {Field("a", "1") + "--BND\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\nunfinished", 0, 0, 0,
         {{"a", "1", ""}}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(Decode(c.body, c.browser, c.version, c.system), c.want) << "case " << i;
    }
}

TEST(MultipartTest, ContentTypeWithoutBoundaryGivesNothing) {
    for (const char* type : {"multipart/form-data", "multipart/form-data; boundary="})
        EXPECT_TRUE(Decode(Field("a", "1") + "--BND--\r\n", 0, 0, 0, type).empty()) << type;
}

TEST(MultipartTest, NoTemporaryFileMeansNoList) {
    const std::string saved = getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
    setenv("TMPDIR", "/nonexistent/dir", 1);
    StringRequest r(Field("a", "1") + File("f", "x.txt", "data") + "--BND--\r\n");
    std::unique_ptr<ValNameList> list(r.ParseMultiPartForm(const_cast<char*>(kType)));
    EXPECT_EQ(list, nullptr);
    setenv("TMPDIR", saved.c_str(), 1);
}

}  // namespace
