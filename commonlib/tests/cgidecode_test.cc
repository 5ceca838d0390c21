#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "cgiutil.h"
#include "string_request.h"
#include "vallist.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// A request with a body from a string and standard output as its stream; it
// keeps the status it is given.
struct OutputRequest : StringRequest {
    using StringRequest::StringRequest;
    int status = 0;
    FILE* SetupOutputStream() override { return stdout; }
    int SetStatus(int code, const char*) override { return status = code, 0; }
};

Pairs PairsOf(const ValNameList* list) {
    Pairs out;
    for (ValNameListItem* i = list ? list->head : nullptr; i; i = i->next) out.emplace_back(i->name, i->value);
    return out;
}

// Sets exactly the given CGI variables ("NAME=value") and decodes the request.
const char* DecodeWith(RequestInfo& request, const std::vector<std::string>& env) {
    static const char* const kVariables[] = {"QUERY_STRING", "REQUEST_METHOD", "REMOTE_USER", "HTTP_USER_AGENT",
                                             "SERVER_SOFTWARE", "HTTP_COOKIE", "CONTENT_LENGTH", "CONTENT_TYPE"};
    for (const char* name : kVariables) unsetenv(name);
    for (const std::string& e : env) setenv(e.substr(0, e.find('=')).c_str(), e.substr(e.find('=') + 1).c_str(), 1);
    const char* message = ZaDecodeCGIRequest(&request);
    for (const char* name : kVariables) unsetenv(name);
    return message;
}

TEST(CgiDecodeTest, MethodsAndContentTypes) {
    const std::string multipart = "--XyZ\r\nContent-Disposition: form-data; name=\"t\"\r\n\r\nv\r\n--XyZ--\r\n";
    const std::string form = "CONTENT_TYPE=Application/X-WWW-Form-Urlencoded; charset=x";
    struct Case { std::vector<std::string> env; std::string body; const char* message; Pairs params; };
    const std::vector<Case> cases = {
        {{"REQUEST_METHOD=Get", "QUERY_STRING=a=1&b=&a=4", "CONTENT_LENGTH=99"}, "", nullptr,
         {{"a", "1"}, {"b", ""}, {"a", "4"}}},
        // A POST shows the body's parameters first, then the URL's.
        {{"REQUEST_METHOD=post", "QUERY_STRING=q=3+4", "CONTENT_LENGTH=9", form}, "x=1+2&y=5", nullptr,
         {{"x", "1 2"}, {"y", "5"}, {"q", "3+4"}}},
        {{"REQUEST_METHOD=POST", "QUERY_STRING=q=1", "CONTENT_TYPE=multipart/form-data; boundary=XyZ"}, multipart,
         nullptr, {{"t", "v"}, {"q", "1"}}},
        {{"REQUEST_METHOD=POST", "QUERY_STRING=q=1", "CONTENT_LENGTH=10", form}, "a=1", nullptr, {{"q", "1"}}},
        {{"REQUEST_METHOD=POST", "CONTENT_TYPE=text/plain"}, "a=1", "Bad CONTENT_TYPE on POST", {}},
        {{"REQUEST_METHOD=POST", "CONTENT_LENGTH=3"}, "a=1", "Bad CONTENT_TYPE on POST", {}},
        {{"REQUEST_METHOD=PUT", "QUERY_STRING=a=1"}, "", "Bad REQUEST_METHOD", {}},
        // Over a request limit: refused before the body is read or decoded.
        {{"REQUEST_METHOD=POST", "CONTENT_LENGTH=8388609", form}, "a=1", kZaRequestRefused, {}},
        {{"REQUEST_METHOD=POST", "CONTENT_LENGTH=67108865", "CONTENT_TYPE=multipart/form-data; boundary=XyZ"},
         multipart, kZaRequestRefused, {}},
        {{"REQUEST_METHOD=GET", "QUERY_STRING=" + std::string(65537, 'v') + "=1"}, "", kZaRequestRefused, {}},
        {{"REQUEST_METHOD=POST", "QUERY_STRING=q=1", "CONTENT_LENGTH=65539", form}, "a=" + std::string(65537, 'v'),
         kZaRequestRefused, {}},
        {{}, "", "Bad REQUEST_METHOD", {}},
    };
    for (const Case& c : cases) {
        OutputRequest request(c.body);
        const char* message = DecodeWith(request, c.env);
        const std::string what = c.body.substr(0, 40);
        EXPECT_STREQ(message, c.message) << what;
        EXPECT_EQ(request.status, message == kZaRequestRefused ? 413 : 0) << what;
        EXPECT_TRUE(ZaDecodeDeferredBody(&request, ZaTrue));
        EXPECT_EQ(PairsOf(request.params), c.params) << what;
    }
}

TEST(CgiDecodeTest, EnvironmentFillsTheRequest) {
    OutputRequest request;
    EXPECT_EQ(DecodeWith(request, {"REQUEST_METHOD=GET", "QUERY_STRING=x=1", "CONTENT_LENGTH=77",
                                   "HTTP_USER_AGENT=Mozilla/4.7 (Macintosh)", "SERVER_SOFTWARE=Microsoft-IIS/4.0",
                                   "HTTP_COOKIE=a=1; c; d=%41"}),
              nullptr);
    EXPECT_STREQ(request.remoteUser, "");  // unset variables read as empty texts
    EXPECT_EQ(request.contentLength, 3);    // a GET counts its query string
    EXPECT_EQ(request.browserType + request.systemType + request.serverType, 1 + 1 + 2);
    EXPECT_DOUBLE_EQ(request.serverVersion, 4.0);
    EXPECT_EQ(PairsOf(request.cookies), (Pairs{{"a", "1"}, {"d", "A"}}));

    // Without an output stream nothing is decoded; the error page goes to stdout.
    StringRequest noOutput;
    EXPECT_STREQ(DecodeWith(noOutput, {"REQUEST_METHOD=GET", "QUERY_STRING=x=1"}), "Unable to setup Output stream");
    EXPECT_EQ(noOutput.outputStream, stdout);
    EXPECT_EQ(noOutput.params->count, 0);
}

}  // namespace
