// Multipart bodies. The first byte picks the browser (MSIE 4 joins text
// lines, a Macintosh percent-encodes file names) and whether uploads are
// kept (a logged-in request) or dropped, the text up to the first
// line feed is the content type, the rest is the body. Uploads go to the
// temporary folder and are removed after each run.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "cgiutil.h"
#include "fuzz_request.h"
#include "vallist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    FuzzRequest request;
    request.browserType = (data[0] & 1) ? 2 : 1;
    request.browserVersion = (data[0] & 2) ? 4.0 : 3.0;
    request.systemType = (data[0] & 4) ? 1 : 0;
    request.acceptUploads = (data[0] & 8) ? 0 : 1;
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const char* newline = static_cast<const char*>(memchr(rest, '\n', size - 1));
    if (!newline) return 0;
    std::string contentType(rest, newline - rest);
    request.body = reinterpret_cast<const unsigned char*>(newline + 1);
    request.size = size - 1 - (newline + 1 - rest);
    ValNameList* parts = request.ParseMultiPartForm(&contentType[0]);
    if (parts) {
        request.AddParams(parts);
        delete parts;
    }
    ZaRemoveUploadFiles(&request);
    return 0;
}
