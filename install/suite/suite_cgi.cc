// The suite's small companion programs that the console's pages point at but
// that are not the console: installed as web/common/bin/common.cgi (the
// common-resources program, which serves the product logos) and as
// web/admin/bin/roomadmin.cgi (the facilities console's place, which tells
// the operator that console is not installed here). One program serves both;
// the name it was started under picks the role.
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <memory>
#include <string>

#include "cgiutil.h"
#include "reqinfo.h"
#include "stringutil.h"

namespace {

// Every logo the pages ask for is the product logo of the installation.
const char* const kLogoPrograms[] = {"front_page_gif", "zarvo_company_gif", "company_gif"};
const char kLogoPath[] = "images/zarvologo.gif";

bool EndsWith(const char* text, const char* suffix) {
    size_t t = text ? strlen(text) : 0, s = strlen(suffix);
    return t >= s && strcmp(text + t - s, suffix) == 0;
}

void SimplePage(RequestInfo* request, int status, const char* reason, const char* title, const char* text) {
    if (status != 200) request->SetStatus(status, reason);
    request->WriteHeader("Content-type", "text/html");
    request->WriteHeader("", "");
    std::string page = std::string("<html>\n<head><title>") + title + "</title></head>\n<body bgcolor=\"#ffffff\">\n<h2>" +
                       title + "</h2>\n<p>" + text + "</p>\n</body>\n</html>\n";
    request->Write(page.c_str());
}

int StreamLogo(RequestInfo* request) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(kLogoPath, "rb"), fclose);
    if (!file) {
        SimplePage(request, 404, "Not Found", "Not found", "The product logo is missing from this installation.");
        return 0;
    }
    request->WriteHeader("Content-type", "image/gif");
    request->WriteHeader("", "");
    char block[16384];
    size_t n;
    while ((n = fread(block, 1, sizeof block, file.get())) > 0) request->WriteBinary(block, static_cast<int>(n));
    return 0;
}

}  // namespace

int ModuleMain(RequestInfo* request) {
    if (EndsWith(request->scriptName, "roomadmin.cgi")) {
        SimplePage(request, 200, nullptr, "Facilities console",
                   "The facilities console is a separate program of the suite and is not installed on this "
                   "server. Rooms and equipment are looked after there once it is installed beside the "
                   "operator console.");
        return 0;
    }
    const char* program = request->FindVar("program");
    for (const char* logo : kLogoPrograms)
        if (program && strcasecmp(program, logo) == 0) return StreamLogo(request);
    SimplePage(request, 404, "Not Found", "Not available",
               "This installation's common program serves the product logos only.");
    return 0;
}
