// The process entry of a CGI program: builds the request object from the CGI
// environment, decodes parameters and cookies, runs the application, and
// answers with a fixed error page when the gateway itself cannot go on.
#include <cstdio>
#include <memory>

#include "cgireqinfo.h"
#include "cgiutil.h"
#include "zaerror.h"

namespace {

// The maker's site named on the error page; a fixed address, since the page
// must not depend on configuration that may be the very thing that failed.
const char kMakerSite[] = "http://www.zarvo.example/";

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
        const char* failure = ZaDecodeCGIRequest(request.get());
        if (failure) {
            // A refused request has had its answer already.
            if (failure != kZaRequestRefused) exitFunc(request.get(), failure);
        } else if (ModuleMain(request.get()) != 0) {
            exitFunc(request.get(), "Module Main returned non-zero status");
        }
    } catch (ZaError* error) {
        delete error;
        ExitOnException(request.get());
    } catch (...) {
        ExitOnException(request.get());
    }
    request->Flush();
    ZaRemoveUploadFiles(request.get());
    return 0;
}
