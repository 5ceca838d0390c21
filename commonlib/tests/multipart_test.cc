#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cgiutil.h"
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

namespace fs = std::filesystem;

size_t OpenDescriptors() {
    return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// A temporary folder of the test's own, so that files left behind are seen.
struct UploadFolder {
    fs::path dir = fs::temp_directory_path() / ("multipart_test_" + std::to_string(getpid()));
    UploadFolder() {
        fs::create_directories(dir);
        setenv("TMPDIR", dir.c_str(), 1);
    }
    ~UploadFolder() { fs::remove_all(dir); }
};

const fs::path& UploadDir() {
    static const UploadFolder folder;
    return folder.dir;
}

size_t FilesIn(const fs::path& dir) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Decodes body and reads the files of the uploads, which the end of the
// request then removes. Whatever the body, the decoder names no file in the
// temporary folder and keeps open only the files of the uploads it returns.
std::vector<Part> Decode(const std::string& body, int browser = 0, double version = 0,
                         int system = 0, const char* type = kType, int acceptUploads = 1) {
    const fs::path& dir = UploadDir();
    const size_t descriptors = OpenDescriptors();
    StringRequest r("preamble\r\n" + body);
    r.browserType = browser;
    r.browserVersion = version;
    r.systemType = system;
    r.acceptUploads = acceptUploads;
    std::unique_ptr<ValNameList> list(r.ParseMultiPartForm(const_cast<char*>(type)));
    std::vector<Part> parts;
    size_t uploads = 0;
    for (ValNameListItem* i = list ? list->head : nullptr; i; i = i->next) {
        Part p{i->name ? i->name : "<null>", i->value, ""};
        if (i->extra1) p[2] = "file:" + ReadFile(i->extra1);
        if (i->extra1) uploads++;
        parts.push_back(p);
    }
    EXPECT_EQ(OpenDescriptors(), descriptors + uploads) << "a file was left open";
    EXPECT_EQ(FilesIn(dir), 0u) << "an upload has a name in the temporary folder";
    ZaRemoveUploadFiles(&r);
    EXPECT_EQ(OpenDescriptors(), descriptors) << "uploads left after the request";
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

// Without a session the file parts are read and dropped; a body over a
// request limit gives nothing at all and marks the request.
TEST(MultipartTest, RefusedUploadsAndLimits) {
    const std::string body = Field("a", "1") + File("up", "f.txt", "secret") + Field("b", "2") + "--BND--";
    EXPECT_EQ(Decode(body, 0, 0, 0, kType, 0), (std::vector<Part>{{"a", "1", ""}, {"b", "2", ""}}));
    std::string many;
    for (int i = 0; i <= 10000; ++i) many += Field("f", "v");
    for (const std::string& over : {File("up", "f.txt", "x") + many, Field("v", std::string(70000, 'x'))}) {
        StringRequest r(over + "--BND--");
        EXPECT_EQ(r.ParseMultiPartForm(const_cast<char*>(kType)), nullptr);
        EXPECT_EQ(r.overLimit, 1);
    }
}

// A request killed in the middle of an upload leaves no file behind: the
// decoder runs in a child that reads the body from a pipe and is killed
// while the file part is being written.
TEST(MultipartTest, KilledMidUploadLeavesNoFile) {
    const fs::path& dir = UploadDir();
    int body[2];
    ASSERT_EQ(pipe(body), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(body[1]);
        struct PipeRequest : StringRequest {
            FILE* in = nullptr;
            int GetFormDataChar() override { int c = fgetc(in); return c == EOF ? -1 : c; }
        } r;
        r.in = fdopen(body[0], "rb");
        delete r.ParseMultiPartForm(const_cast<char*>(kType));
        _exit(0);
    }
    close(body[0]);
    const std::string start = File("up", "big.bin", std::string(200000, 'z'));
    ASSERT_EQ(write(body[1], start.data(), start.size()), static_cast<ssize_t>(start.size()));
    // Wait until the child holds the upload's file open, then kill it.
    const std::string fds = "/proc/" + std::to_string(child) + "/fd";
    bool open = false;
    for (int i = 0; i < 200 && !open; ++i) {
        for (const auto& fd : fs::directory_iterator(fds)) {
            std::error_code error;
            open = open || fs::read_symlink(fd.path(), error).string().find(dir.string()) == 0;
        }
        if (!open) usleep(10000);
    }
    EXPECT_TRUE(open) << "the upload never reached a file";
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(body[1]);
    EXPECT_EQ(FilesIn(dir), 0u);
}

TEST(MultipartTest, ContentTypeWithoutBoundaryGivesNothing) {
    for (const char* type : {"multipart/form-data", "multipart/form-data; boundary="})
        EXPECT_TRUE(Decode(Field("a", "1") + "--BND--\r\n", 0, 0, 0, type).empty()) << type;
}

// Bodies put together at random from boundary lines, headers, long lines and
// line breaks, cut anywhere: each decodes without fault (the sanitizer build
// checks memory), and Decode checks that no file stays open or behind.
TEST(MultipartTest, RandomBodiesDecodeCleanly) {
    const unsigned seed = static_cast<unsigned>(time(nullptr));
    std::mt19937 random(seed);
    const std::vector<std::string> pieces = {
        "--BND\r\n", "--BND--\r\n", "--BND", "--BN", "\r\n", "\r", "\n", "\r\n\r\n",
        "Content-Disposition: form-data; name=\"a\"\r\n",
        "Content-Disposition: form-data; name=\"f\"; filename=\"C:\\x\\y.txt\"\r\n",
        "Content-Disposition: form-data; name=\"f\"; filename=\"\"\r\n", "Content-Disposition: form-data; name=\"",
        "Content-Type: text/plain\r\n", "value", std::string(1019, 'x'), std::string(1021, 'y'),
        std::string(2500, 'z'), std::string("\0\xff", 2), "filename=\"", "%41"};
    for (int i = 0; i < 300; ++i) {
        std::string body;
        for (int n = random() % 24; n > 0; --n) body += pieces[random() % pieces.size()];
        body.resize(random() % (body.size() + 1));
        Decode(body, random() % 3, random() % 2 ? 3.0 : 4.0, random() % 2);
        if (HasFailure()) {
            ADD_FAILURE() << "seed " << seed << " body " << i;
            return;
        }
    }
}

TEST(MultipartTest, NoTemporaryFileMeansNoList) {
    const std::string saved = UploadDir().string();
    setenv("TMPDIR", "/nonexistent/dir", 1);
    StringRequest r(Field("a", "1") + File("f", "x.txt", "data") + "--BND--\r\n");
    std::unique_ptr<ValNameList> list(r.ParseMultiPartForm(const_cast<char*>(kType)));
    EXPECT_EQ(list, nullptr);
    setenv("TMPDIR", saved.c_str(), 1);
}

}  // namespace
