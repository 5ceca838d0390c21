// Query strings and URL-encoded bodies: both decoders and the limit check
// over the same bytes, the body also through the request's own reading of a
// declared length.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_request.h"
#include "reqlimits.h"
#include "vallist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int length = static_cast<int>(size);
    std::unique_ptr<ValNameList> query(RequestInfo::ParseGETString(text.c_str(), length));
    std::unique_ptr<ValNameList> form(RequestInfo::ParsePOSTString(text.c_str(), length));
    // Both see the same segments: the plus rule changes bytes, not the split.
    if (query->count != form->count) __builtin_trap();
    // The limit check counts the pairs the decoder finds.
    if (ZaUrlEncodedWithinLimits(text.c_str(), size, 0) && query->count > ZaGetRequestLimits().maxParams)
        __builtin_trap();

    FuzzRequest request;
    request.body = data;
    request.size = size;
    request.contentLength = length;
    std::unique_ptr<ValNameList> posted(request.ParsePostInput());
    request.AddParams(posted.get());
    std::unique_ptr<ValList> values(request.GetValList("a"));
    std::unique_ptr<ValNameList> prefixed(request.GetValListPrefix("a"));
    request.FindVar("program");
    return 0;
}
