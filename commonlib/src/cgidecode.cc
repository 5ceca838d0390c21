// Fills a request object from the CGI environment and decodes its cookies and
// parameters: everything the process entry does before the application runs.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <strings.h>

#include "cgiutil.h"
#include "reqinfo.h"
#include "reqlimits.h"
#include "stringutil.h"
#include "vallist.h"

namespace {

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

// CONTENT_LENGTH as a number: 0 when it is not one, capped to what an int
// holds.
int ParseContentLength(const char* text) {
    char* end = nullptr;
    long long n = strtoll(text, &end, 10);
    if (end == text || n < 0) return 0;
    return n > 0x7fffffffLL ? 0x7fffffff : static_cast<int>(n);
}

}  // namespace

const char kZaRequestRefused[] = "Request over a limit";

// Every decoding step is checked against the request limits (reqlimits.h)
// before it reads or keeps anything; a request over one is answered with the
// refusal page. A multipart body is left for the application, which decodes
// it with ZaDecodeDeferredBody once it knows whether the request is logged in.
const char* ZaDecodeCGIRequest(RequestInfo* request) {
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

    const ZaRequestLimits& limits = ZaGetRequestLimits();
    if (strcasecmp(request->requestMethod, "get") == 0) {
        request->contentLength = static_cast<int>(strlen(request->queryString));
        TakeParams(request, request->ParseGetInput());
    } else if (strcasecmp(request->requestMethod, "post") == 0) {
        EnvText contentType = ReadEnv("CONTENT_TYPE");
        if (SearchProtocol("application/x-www-form-urlencoded", contentType.get()) == ZaTrue) {
            TakeParams(request, request->ParsePostInput());
        } else if (SearchProtocol("multipart/form-data", contentType.get()) == ZaTrue) {
            if (request->contentLength > limits.maxUploadBody)
                request->overLimit = 1;
            else
                request->deferredBodyType = contentType.release();
        } else {
            return "Bad CONTENT_TYPE on POST";
        }
        // The URL's own parameters follow those of the body.
        const size_t queryLength = strlen(request->queryString);
        if (!request->overLimit &&
            !ZaUrlEncodedWithinLimits(request->queryString, queryLength, request->params->count))
            request->overLimit = 1;
        if (!request->overLimit)
            TakeParams(request, RequestInfo::ParseGETString(request->queryString, static_cast<int>(queryLength)));
    } else {
        return "Bad REQUEST_METHOD";
    }
    if (request->overLimit) {
        ZaRefuseRequest(request);
        return kZaRequestRefused;
    }
    return nullptr;
}

bool ZaDecodeDeferredBody(RequestInfo* request, ZaBoolean acceptUploads) {
    if (!request->deferredBodyType) return true;
    std::unique_ptr<char, FreeDeleter> contentType(request->deferredBodyType);
    request->deferredBodyType = nullptr;
    request->acceptUploads = acceptUploads == ZaTrue ? 1 : 0;
    std::unique_ptr<ValNameList> body(request->ParseMultiPartForm(contentType.get()));
    if (request->overLimit) return false;
    if (body) {
        // The body's parameters come before those of the URL, as for any POST.
        body->Add(request->params);
        std::swap(body->head, request->params->head);
        std::swap(body->tail, request->params->tail);
        std::swap(body->count, request->params->count);
    }
    return true;
}
