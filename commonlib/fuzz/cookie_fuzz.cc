// Cookie headers, decoded and not, part header lines, and formatted and
// striped cookie values read back from the decoded header.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_request.h"
#include "vallist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<ValNameList> raw(RequestInfo::ParseNameValString(text.c_str(), ZaFalse));
    std::unique_ptr<ValNameList> header(RequestInfo::ParseHTTPHeader(text.c_str()));

    FuzzRequest request;
    request.cookies = RequestInfo::ParseNameValString(text.c_str(), ZaTrue);
    for (ValNameListItem* item = request.cookies->head; item; item = item->next) {
        if (!item->name) continue;
        std::unique_ptr<ValList> strings(request.FindFormattedCookie(item->name));
        for (ValListItem* s = strings->head; s; s = s->next)
            if (!s->value || !*s->value) __builtin_trap();  // empty pieces are skipped
    }
    std::unique_ptr<ValList> plain(new ValList());
    RequestInfo::ParseFormattedCookie(text.c_str(), plain.get());
    return 0;
}
