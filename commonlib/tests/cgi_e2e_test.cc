// Runs operadmin.cgi as the web server would: a controlled environment, the
// body on standard input, the page read back from standard output. Requests
// that the gateway refuses never reach the application, so their page is the
// gateway's own wherever the program runs; requests that reach the console
// are tested over an installed tree with the console's own tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cgireqinfo.h"
#include "string_request.h"

namespace {

const char kProgram[] = ZA_BINARY_DIR "/bin/operadmin.cgi";

struct Result {
    int status = -1;
    std::string out;
};

Result RunCgi(std::vector<std::string> env, const std::string& body) {
    for (const char* pass : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TMPDIR"})
        if (const char* v = getenv(pass)) env.push_back(std::string(pass) + "=" + v);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(&e[0]);
    envp.push_back(nullptr);
    const std::string in = std::string(ZA_BINARY_DIR) + "/cgi_e2e_in_" + std::to_string(getpid());
    const std::string out = in + ".out";
    std::ofstream(in, std::ios::binary) << body;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    char* argv[] = {const_cast<char*>(kProgram), nullptr};
    Result result;
    pid_t pid;
    int wait = 0;
    if (posix_spawn(&pid, kProgram, &actions, nullptr, argv, envp.data()) == 0 &&
        waitpid(pid, &wait, 0) == pid && WIFEXITED(wait))
        result.status = WEXITSTATUS(wait);
    posix_spawn_file_actions_destroy(&actions);
    result.out = ReadFile(out);
    unlink(in.c_str());
    unlink(out.c_str());
    return result;
}

std::string ErrorPage(const std::string& message) {
    return "Content-type: text/html\n\n<html>\n<body bgcolor=\"#ffffff\">\n<h1>Error !</h1>\n"
           "<h3>An error has occurred in the product.\tPlease contact</h3>\n"
           "<h3>Zarvo technical support directly or send feedback through</h3>\n"
           "<h3><a href=\"http://www.zarvo.example/\">http://www.zarvo.example/</a></h3>\n"
           "<h3>If possible, please include the version number of the software and the error "
           "message in your feedback.</h3>\n<h3>Error message: " + message + "</h3>\n</body>\n</html>\n";
}

TEST(CgiProcessTest, UnusableRequestsGetTheErrorPage) {
    ASSERT_EQ(access(kProgram, X_OK), 0) << "build operadmin.cgi first: " << kProgram;
    struct Case { std::vector<std::string> env; const char* message; };
    const std::vector<Case> cases = {
        {{"REQUEST_METHOD=PUT"}, "Bad REQUEST_METHOD"},
        {{"REQUEST_METHOD=POST", "CONTENT_TYPE=text/plain", "CONTENT_LENGTH=3"}, "Bad CONTENT_TYPE on POST"},
        {{"REQUEST_METHOD=post", "CONTENT_LENGTH=3"}, "Bad CONTENT_TYPE on POST"},
    };
    for (const Case& c : cases) {
        Result r = RunCgi(c.env, "a=1");
        EXPECT_EQ(r.status, 0) << c.message;
        EXPECT_EQ(r.out, ErrorPage(c.message));
    }
}

TEST(CgiOutputTest, HeaderAndStatusLines) {
    CGIRequestInfo r;
    r.outputStream = tmpfile();
    ASSERT_NE(r.outputStream, nullptr);
    r.WriteHeader("Content-type", "text/html");
    r.WriteHeader("", "ignored");
    r.SetStatus(302, nullptr);
    r.SetStatus(404, "Not Found");
    EXPECT_EQ(r.WriteBinary("a\0b", 3), 0);
    rewind(r.outputStream);
    char buffer[128] = {};
    size_t n = fread(buffer, 1, sizeof buffer, r.outputStream);
    fclose(r.outputStream);
    EXPECT_EQ(std::string(buffer, n), "Content-type: text/html\n\nStatus: 302\nStatus: 404 Not Found\n" +
                                          std::string("a\0b", 3));
}

}  // namespace
