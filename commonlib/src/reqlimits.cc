// The request bounds, their settings and the refusal page.
#include "reqlimits.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "reqinfo.h"

namespace {

long Setting(const char* name, long fallback) {
    const char* text = getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    long long n = strtoll(text, &end, 10);
    if (*end != '\0' || n <= 0 || n > 0x7fffffffLL) return fallback;
    return static_cast<long>(n);
}

}  // namespace

const ZaRequestLimits& ZaGetRequestLimits() {
    static const ZaRequestLimits limits = {
        Setting("ZARVO_MAX_FORM_BODY", 8L << 20),
        Setting("ZARVO_MAX_UPLOAD_BODY", 64L << 20),
        static_cast<int>(Setting("ZARVO_MAX_PARAMS", 10000)),
        static_cast<int>(Setting("ZARVO_MAX_VALUE", 64L << 10)),
    };
    return limits;
}

// Counts pairs as the decoder finds them: a segment counts once its "=" is
// seen; text before the "=" that still holds "&" is part of the name.
bool ZaUrlEncodedWithinLimits(const char* text, size_t length, int counted) {
    const ZaRequestLimits& limits = ZaGetRequestLimits();
    if (!text) return true;
    if (length > static_cast<size_t>(limits.maxFormBody)) return false;
    const char* end = text + strnlen(text, length);
    const size_t maxValue = static_cast<size_t>(limits.maxValue);
    const char* pos = text;
    while (pos < end) {
        const char* equals = static_cast<const char*>(memchr(pos, '=', end - pos));
        if (!equals) break;
        if (++counted > limits.maxParams || static_cast<size_t>(equals - pos) > maxValue) return false;
        const char* value = equals + 1;
        const char* amp = static_cast<const char*>(memchr(value, '&', end - value));
        const char* valueEnd = amp ? amp : end;
        if (static_cast<size_t>(valueEnd - value) > maxValue) return false;
        pos = amp ? amp + 1 : end;
    }
    return true;
}

void ZaRefuseRequest(RequestInfo* request) {
    const ZaRequestLimits& limits = ZaGetRequestLimits();
    request->SetStatus(413, "Request Entity Too Large");
    request->WriteHeader("Content-type", "text/html");
    request->WriteHeader("", "");
    std::string page =
        "<html>\n<head><title>Request too large</title></head>\n<body bgcolor=\"#ffffff\">\n"
        "<h2>Request too large</h2>\n<p>This request was not handled: it is larger than the console "
        "accepts. A form may send at most " + std::to_string(limits.maxFormBody >> 10) +
        " KB (uploads " + std::to_string(limits.maxUploadBody >> 10) + " KB), " +
        std::to_string(limits.maxParams) + " fields, and " + std::to_string(limits.maxValue >> 10) +
        " KB in any one field.</p>\n</body>\n</html>\n";
    request->Write(page.c_str());
}
