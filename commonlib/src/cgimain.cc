// The process entry of a CGI program: builds the request object from the CGI
// environment, decodes parameters and cookies, runs the application, and
// answers with a fixed error page when the gateway itself cannot go on.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>

#include "cgireqinfo.h"
#include "cgiutil.h"
#include "vallist.h"
#include "zaerror.h"

namespace {

const char kMakerSite[] = "http://www.zarvo.example/";

struct FreeDeleter {
    void operator()(char* p) const { free(p); }
};
using EnvText = std::unique_ptr<char, FreeDeleter>;

EnvText ReadEnv(const char* name) {
    char* value = nullptr;
    GetEnvironmentVar(&value, name);
    return EnvText(value);
}

// Appends the decoded list to the parameters and frees it.
void TakeParams(RequestInfo* request, ValNameList* list) {
    std::unique_ptr<ValNameList> owned(list);
    request->AddParams(owned.get());
}

bool StartsWithNoCase(const char* text, const char* prefix) {
    return strncasecmp(text, prefix, strlen(prefix)) == 0;
}

// CONTENT_LENGTH as a number: 0 when it is not one, capped to what an int
// holds.
int ParseContentLength(const char* text) {
    char* end = nullptr;
    long long n = strtoll(text, &end, 10);
    if (end == text || n < 0) return 0;
    return n > 0x7fffffffLL ? 0x7fffffff : static_cast<int>(n);
}

// Fills the request from the environment and decodes it. Returns the message
// of the error page when the request cannot be served, else null.
const char* DecodeRequest(CGIRequestInfo* request) {
    request->outputStream = request->SetupOutputStream();
    if (!request->outputStream) {
        request->outputStream = stdout;
        return "Unable to setup Output stream";
    }
    request->queryString = ReadEnv("QUERY_STRING").release();
    request->scriptName = ReadEnv("SCRIPT_NAME").release();
    request->requestMethod = ReadEnv("REQUEST_METHOD").release();
    request->remoteUser = ReadEnv("REMOTE_USER").release();
    request->serverName = ReadEnv("SERVER_NAME").release();
    request->serverPort = ReadEnv("SERVER_PORT").release();

    EnvText userAgent = ReadEnv("HTTP_USER_AGENT");
    request->SetBrowserType(userAgent.get());
    request->SetSystemType(userAgent.get());
    request->SetServerInfo(ReadEnv("SERVER_SOFTWARE").get());
    request->cookies = RequestInfo::ParseNameValString(ReadEnv("HTTP_COOKIE").get(), ZaTrue);
    request->contentLength = ParseContentLength(ReadEnv("CONTENT_LENGTH").get());

    if (strcasecmp(request->requestMethod, "get") == 0) {
        request->contentLength = static_cast<int>(strlen(request->queryString));
        TakeParams(request, request->ParseGetInput());
    } else if (strcasecmp(request->requestMethod, "post") == 0) {
        EnvText contentType = ReadEnv("CONTENT_TYPE");
        if (StartsWithNoCase(contentType.get(), "application/x-www-form-urlencoded"))
            TakeParams(request, request->ParsePostInput());
        else if (StartsWithNoCase(contentType.get(), "multipart/form-data"))
            TakeParams(request, request->ParseMultiPartForm(contentType.get()));
        else
            return "Bad CONTENT_TYPE on POST";
        // The URL's own parameters follow those of the body.
        TakeParams(request, RequestInfo::ParseGETString(
                                request->queryString,
                                static_cast<int>(strlen(request->queryString))));
    } else {
        return "Bad REQUEST_METHOD";
    }
    return nullptr;
}

}  // namespace

void exitFunc(RequestInfo* request, const char* message) {
    if (!request) return;
    request->Write("Content-type: text/html\n\n");
    request->Write("<html>\n");
    request->Write("<body bgcolor=\"#ffffff\">\n");
    request->Write("<h1>Error !</h1>\n");
    request->Write("<h3>An error has occurred in the product.\tPlease contact</h3>\n");
    request->Write("<h3>Zarvo technical support directly or send feedback through</h3>\n");
    request->Write("<h3><a href=\"");
    request->Write(kMakerSite);
    request->Write("\">");
    request->Write(kMakerSite);
    request->Write("</a></h3>\n");
    request->Write("<h3>If possible, please include the version number of the software and "
                   "the error message in your feedback.</h3>\n");
    request->Write("<h3>Error message: ");
    request->Write(message);
    request->Write("</h3>\n");
    request->Write("</body>\n");
    request->Write("</html>\n");
}

// The page for an exception that escaped, written even when it came before
// the output stream was set up.
static void ExitOnException(RequestInfo* request) {
    if (!request->outputStream) request->outputStream = stdout;
    exitFunc(request, "Unable to run the program!");
}

// Every way out but a failure to create the request object ends with status
// 0: the web server shows whatever page was written.
int main() {
    std::unique_ptr<CGIRequestInfo> request;
    try {
        request.reset(new CGIRequestInfo());
    } catch (ZaError* error) {
        delete error;
        return 1;
    } catch (...) {
        return 1;
    }
    try {
        if (const char* failure = DecodeRequest(request.get()))
            exitFunc(request.get(), failure);
        else if (ModuleMain(request.get()) != 0)
            exitFunc(request.get(), "Module Main returned non-zero status");
    } catch (ZaError* error) {
        delete error;
        ExitOnException(request.get());
    } catch (...) {
        ExitOnException(request.get());
    }
    request->Flush();
    return 0;
}
