// Decoding of query strings, URL-encoded bodies, cookie headers and
// multipart part headers into name/value lists. Malformed input never fails:
// it yields fewer or odd pairs.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "reqinfo.h"
#include "reqlimits.h"
#include "stringutil.h"
#include "vallist.h"

namespace {

struct FreeDeleter {
    void operator()(char* p) const { free(p); }
};
using MallocText = std::unique_ptr<char, FreeDeleter>;

// Appends name and value, percent-decoded, taken from [name, name + nameLength)
// and [value, value + valueLength).
void AppendDecoded(ValNameList* list, const char* name, size_t nameLength, const char* value,
                   size_t valueLength, ZaBoolean plusToSpace) {
    MallocText decodedName(StringUnescape(name, static_cast<int>(nameLength), plusToSpace));
    MallocText decodedValue(StringUnescape(value, static_cast<int>(valueLength), plusToSpace));
    list->Append(decodedName ? decodedName.get() : "", decodedValue ? decodedValue.get() : "");
}

// Pairs "name=value" separated by "&" in the first length bytes of text. A
// segment without "=" merges into the name of the next one; a trailing one is
// dropped.
ValNameList* ParseUrlEncoded(const char* text, int length, ZaBoolean plusToSpace) {
    ValNameList* list = new ValNameList();
    if (!text || length <= 0) return list;
    // A NUL ends the text even when length claims more: a URL-encoded text
    // never holds one, and nothing beyond it may be read.
    const char* end = text + strnlen(text, static_cast<size_t>(length));
    const char* pos = text;
    while (pos < end) {
        const char* equals = static_cast<const char*>(memchr(pos, '=', end - pos));
        if (!equals) break;
        const char* value = equals + 1;
        const char* amp = static_cast<const char*>(memchr(value, '&', end - value));
        const char* valueEnd = amp ? amp : end;
        AppendDecoded(list, pos, equals - pos, value, valueEnd - value, plusToSpace);
        pos = amp ? amp + 1 : end;
    }
    return list;
}

bool IsTrailingJunk(char c) { return c == '"' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

ValNameList* RequestInfo::ParseGETString(const char* text, int length) {
    return ParseUrlEncoded(text, length, ZaFalse);
}

ValNameList* RequestInfo::ParsePOSTString(const char* text, int length) {
    return ParseUrlEncoded(text, length, ZaTrue);
}

ValNameList* RequestInfo::ParseGetInput() {
    if (contentLength > 0 && queryString &&
        !ZaUrlEncodedWithinLimits(queryString, static_cast<size_t>(contentLength), params->count)) {
        overLimit = 1;
        return new ValNameList();
    }
    return ParseGETString(queryString, contentLength);
}

// The body counts only when it arrives whole; a short read gives no pairs. A
// declared length over the limit is refused before anything is read.
ValNameList* RequestInfo::ParsePostInput() {
    if (contentLength <= 0) return new ValNameList();
    if (contentLength > ZaGetRequestLimits().maxFormBody) {
        overLimit = 1;
        return new ValNameList();
    }
    MallocText body(static_cast<char*>(calloc(static_cast<size_t>(contentLength) + 1, 1)));
    if (!body || ReadPostInput(body.get(), contentLength) != contentLength)
        return new ValNameList();
    if (!ZaUrlEncodedWithinLimits(body.get(), static_cast<size_t>(contentLength), params->count)) {
        overLimit = 1;
        return new ValNameList();
    }
    return ParsePOSTString(body.get(), contentLength);
}

ValNameList* RequestInfo::ParseNameValString(const char* text, ZaBoolean unescape) {
    ValNameList* list = new ValNameList();
    if (!text) return list;
    const char* pos = text;
    // The next "=" stays valid while the segments before it are skipped, so a
    // header of many segments without values is scanned once, not once a segment.
    const char* equals = nullptr;
    while (*pos) {
        while (*pos == ' ' || *pos == '\t') ++pos;
        if (!equals || equals < pos) equals = strchr(pos, '=');
        if (!equals) break;
        const char* semi = strchr(pos, ';');
        const char* end = semi ? semi : pos + strlen(pos);
        if (semi && semi < equals) {  // a segment without a value
            pos = semi + 1;
            continue;
        }
        const char* value = equals + 1;
        if (value < end && *value == '"') ++value;
        const char* valueEnd = end;
        while (valueEnd > value && IsTrailingJunk(valueEnd[-1])) --valueEnd;
        if (unescape == ZaTrue) {
            AppendDecoded(list, pos, equals - pos, value, valueEnd - value, ZaFalse);
        } else {
            list->Append(std::string(pos, equals - pos).c_str(),
                         std::string(value, valueEnd - value).c_str());
        }
        if (!semi) break;
        pos = semi + 1;
    }
    return list;
}

// The header's own item comes last, after its parameters; its value keeps
// everything between the colon and the first ";" unchanged.
ValNameList* RequestInfo::ParseHTTPHeader(const char* line) {
    if (!line) return nullptr;
    while (*line == ' ' || *line == '\t') ++line;
    const char* colon = strchr(line, ':');
    if (!colon) return nullptr;
    const char* semi = strchr(colon + 1, ';');
    const char* valueEnd = semi ? semi : colon + strlen(colon);
    ValNameList* list =
        semi && semi[1] ? ParseNameValString(semi + 1, ZaFalse) : new ValNameList();
    list->Append(std::string(line, colon - line).c_str(),
                 std::string(colon + 1, valueEnd - (colon + 1)).c_str());
    return list;
}
