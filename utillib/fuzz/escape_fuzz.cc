// The escapers and the URL activator. Checked on every input: HTML-escaped
// text holds no '<', '>' or '"'; URL-escaped text only the characters that
// pass unescaped and %XX; a JS-escaped text cannot end its literal; and the
// activator, run over escaped text as pages do, adds nothing but its own
// anchors, none of them to a script scheme.
#include <cstdint>
#include <initializer_list>
#include <cstring>
#include <string>
#include <strings.h>

#include "string_class.h"

namespace {

bool UrlSafe(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           strchr("*-.@_%", c) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A String ends at the first NUL, as every text reaching a page does.
    const std::string input(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));

    String html(input.c_str());
    html.PrepForHTML();
    if (html.text && strpbrk(html.text, "<>\"")) __builtin_trap();

    String url(input.c_str());
    url.PrepForURL();
    for (int i = 0; i < url.length; i++)
        if (!UrlSafe(url.text[i])) __builtin_trap();

    String js(input.c_str());
    js.PrepForJS();
    for (int i = 0, backslashes = 0; i < js.length; i++) {
        // An apostrophe after an even run of backslashes would close the literal.
        if (js.text[i] == '\'' && backslashes % 2 == 0) __builtin_trap();
        backslashes = js.text[i] == '\\' ? backslashes + 1 : 0;
    }

    String linked(html);
    linked.ActivateURLs();
    const std::string out = linked.text ? linked.text : "";
    const std::string open = "<A HREF=\"";
    size_t at = 0;
    for (size_t lt = out.find('<'); lt != std::string::npos; lt = out.find('<', at)) {
        if (out.compare(lt, 4, "</A>") == 0) { at = lt + 4; continue; }
        if (out.compare(lt, open.size(), open) != 0) __builtin_trap();
        const char* href = out.c_str() + lt + open.size();
        for (const char* scheme : {"javascript:", "vbscript:", "data:"})
            if (strncasecmp(href, scheme, strlen(scheme)) == 0) __builtin_trap();
        const size_t quote = out.find('"', lt + open.size());
        if (quote == std::string::npos || out.compare(quote, 16, "\" target=\"_top\">") != 0) __builtin_trap();
        at = quote + 16;
    }

    String folded(input.c_str());
    folded.PrepareForWriting();
    folded.HTMLEnhanced();
    return 0;
}
