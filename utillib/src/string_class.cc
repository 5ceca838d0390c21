#include "string_class.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>

#include "stringutil.h"

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The isAcceptable bits of a byte; bytes outside 32..127 have none.
unsigned char AcceptBits(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 32 && u <= 127) ? isAcceptable[u - 32] : 0;
}

// Characters that may form a link: letters, digits and * + - . / @ _ ~.
bool IsLinkChar(char c) { return (AcceptBits(c) & 6) != 0; }

// Gives s the buffer `out` of `outLength` characters (NUL-terminated, from
// malloc) in place of its text: the escaping operations fill one buffer of the
// final size and hand it over without another copy.
void Adopt(String& s, char* out, int outLength) {
    free(s.text);
    s.text = out;
    s.length = outLength;
}

char* NewBuffer(int outLength) {
    char* out = static_cast<char*>(malloc(static_cast<size_t>(outLength) + 1));
    if (!out) throw std::bad_alloc();
    out[outLength] = '\0';
    return out;
}

// Replaces each line end of s (a CR LF pair or a single CR or LF) by
// `replacement`, counting first and filling one buffer of the final size.
// Text without a line end is left as it is unless `always` asks for a rebuild.
void ReplaceLineEnds(String& s, const char* replacement, bool always) {
    const char* text = s.text;
    const int length = s.length;
    const int replacementLength = static_cast<int>(strlen(replacement));
    auto lineEndAt = [&](int i) {
        if (!IsLineEnd(text[i])) return 0;
        return (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') ? 2 : 1;
    };
    int outLength = 0;
    bool found = false;
    for (int i = 0; i < length; i++) {
        int n = lineEndAt(i);
        found = found || n > 0;
        outLength += n ? replacementLength : 1;
        if (n == 2) i++;
    }
    if (!found && !always) return;
    char* out = NewBuffer(outLength);
    char* o = out;
    for (int i = 0; i < length; i++) {
        int n = lineEndAt(i);
        if (n == 0) {
            *o++ = text[i];
            continue;
        }
        memcpy(o, replacement, replacementLength);
        o += replacementLength;
        if (n == 2) i++;
    }
    Adopt(s, out, outLength);
}

}  // namespace

String::String() : text(nullptr), length(0) {}

String::String(const char* s) : text(nullptr), length(0) { Init(s); }

String::String(int n) : text(nullptr), length(0) { Init(std::to_string(n).c_str()); }

String::String(const String& other) : text(nullptr), length(0) { Init(other.text); }

String::String(int n, char c) : text(nullptr), length(0) {
    Init(std::string(n > 0 ? n : 0, c).c_str());
}

// Takes at most n bytes, never reading beyond the end of s.
String::String(const char* s, int n) : text(nullptr), length(0) {
    if (s) Init(std::string(s, strnlen(s, n > 0 ? n : 0)).c_str());
}

String::~String() { Cleanup(); }

void String::Init(const char* s) {
    char* copy = s ? strdup(s) : nullptr;
    free(text);
    text = copy;
    length = text ? static_cast<int>(strlen(text)) : 0;
}

void String::Cleanup() {
    free(text);
    text = nullptr;
    length = 0;
}

void String::Print(FILE* f) const {
    if (text) fputs(text, f);
}

void String::Println(FILE* f) const {
    if (!text) return;
    fputs(text, f);
    fputc('\n', f);
}

String String::operator+(const String& other) const {
    String joined(*this);
    joined += other;
    return joined;
}

String String::operator+(const char* s) const {
    String joined(*this);
    joined += s;
    return joined;
}

String& String::operator+=(const char* s) {
    if (!s) return *this;
    if (!text) {
        Init(s);
        return *this;
    }
    // Built before the old text is freed: s may point into it.
    std::string joined(text);
    joined += s;
    Init(joined.c_str());
    return *this;
}

String& String::operator+=(const String& other) { return *this += other.text; }

String& String::operator=(const String& other) {
    if (this != &other) Init(other.text);
    return *this;
}

String String::Copy() const { return String(*this); }

int String::IndexOf(char c) const {
    for (int i = 0; i < length; i++)
        if (text[i] == c) return i;
    return -1;
}

// A start beyond the end gives an empty text.
String String::SubString(int start) const {
    if (!text || start < 0) return *this;
    if (start > length) start = length;
    return String(text + start);
}

// Bounds beyond the end are cut back to it, so nothing outside the text is read.
String String::SubString(int start, int end) const {
    if (!text || start < 0 || end < 0 || start > end) return *this;
    if (end > length) end = length;
    if (start > end) start = end;
    return String(text + start, end - start);
}

void String::PrepForURL() {
    if (!text) return;
    int extra = 0;
    for (int i = 0; i < length; i++)
        if (!(AcceptBits(text[i]) & 1)) extra += 2;
    if (extra == 0) return;
    char* out = NewBuffer(length + extra);
    char* o = out;
    for (int i = 0; i < length; i++) {
        unsigned char u = static_cast<unsigned char>(text[i]);
        if (AcceptBits(text[i]) & 1) {
            *o++ = text[i];
        } else {
            *o++ = '%';
            *o++ = hex[u >> 4];
            *o++ = hex[u & 15];
        }
    }
    Adopt(*this, out, length + extra);
}

namespace {

// The HTML replacement of a byte, or null when it stays as it is.
const char* HtmlEntity(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
        case '"': return "&quot;";
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        default: return u >= 0xA0 ? entityRefs[u - 0xA0] : nullptr;
    }
}

}  // namespace

void String::PrepForHTML() {
    if (!text) return;
    int outLength = 0;
    for (int i = 0; i < length; i++) {
        const char* entity = HtmlEntity(text[i]);
        outLength += entity ? static_cast<int>(strlen(entity)) : 1;
    }
    if (outLength == length) return;
    char* out = NewBuffer(outLength);
    char* o = out;
    for (int i = 0; i < length; i++) {
        const char* entity = HtmlEntity(text[i]);
        if (entity) {
            size_t n = strlen(entity);
            memcpy(o, entity, n);
            o += n;
        } else {
            *o++ = text[i];
        }
    }
    Adopt(*this, out, outLength);
}

// A backslash is escaped as well as the apostrophe: left alone, a text that
// ends in one would turn the added backslash into an escaped backslash and
// close the literal early.
void String::PrepForJS() {
    if (!text) return;
    int quotes = 0;
    for (int i = 0; i < length; i++)
        if (text[i] == '\'' || text[i] == '\\') quotes++;
    if (quotes == 0) return;
    char* out = NewBuffer(length + quotes);
    char* o = out;
    for (int i = 0; i < length; i++) {
        if (text[i] == '\'' || text[i] == '\\') *o++ = '\\';
        *o++ = text[i];
    }
    Adopt(*this, out, length + quotes);
}

namespace {

// Schemes whose links run script in the page's origin: such text is shown, never linked.
bool RunsScript(const char* prefix) {
    return strcasecmp(prefix, "javascript:") == 0 || strcasecmp(prefix, "vbscript:") == 0 ||
           strcasecmp(prefix, "data:") == 0;
}

// Where markup that starts at text[p] (a '<') ends: past its '>', and for an
// anchor past its "</a>", so that neither a tag's attributes nor an existing
// link's text get links of their own. The end of the text when it is not closed.
int SkipMarkup(const char* text, int length, int p) {
    const char* close = static_cast<const char*>(memchr(text + p, '>', length - p));
    int end = close ? static_cast<int>(close - text) + 1 : length;
    const bool anchor = p + 2 < length && (text[p + 1] == 'a' || text[p + 1] == 'A') &&
                        (text[p + 2] == ' ' || text[p + 2] == '>' || text[p + 2] == '\t' ||
                         text[p + 2] == '\n' || text[p + 2] == '\r');
    if (!anchor) return end;
    for (int i = end; i + 3 < length; i++)
        if (text[i] == '<' && text[i + 1] == '/' && strncasecmp(text + i + 2, "a>", 2) == 0) return i + 4;
    return length;
}

}  // namespace

String String::ActivateURLs() {
    if (!text) return String();
    std::string out;
    int p = 0;
    while (p < length) {
        while (p < length && !IsAsciiLetter(text[p]) && text[p] != '<') out += text[p++];
        if (p >= length) break;
        if (text[p] == '<') {
            int end = SkipMarkup(text, length, p);
            out.append(text + p, end - p);
            p = end;
            continue;
        }
        int prefix = -1;
        for (int i = 0; i < urlArrayLength && prefix < 0; i++)
            if (SearchProtocol(urlArray[i], text + p) == ZaTrue) prefix = i;
        if (prefix >= 0 && RunsScript(urlArray[prefix])) {
            // Shown as text as a whole, so that no later prefix inside it is linked either.
            int end = p + urlArrayLen[prefix];
            out.append(text + p, end - p);
            p = end;
            continue;
        }
        if (prefix < 0) {
            out += text[p++];
            continue;
        }
        int start = p;
        int q = p + urlArrayLen[prefix];
        // Host part: link characters but '/', and one colon for a port.
        bool portSeen = false;
        while (q < length && text[q] != '/') {
            if (IsLinkChar(text[q])) {
                q++;
            } else if (text[q] == ':' && !portSeen) {
                portSeen = true;
                q++;
            } else {
                break;
            }
        }
        // Path part: link characters, '/' included.
        while (q < length && IsLinkChar(text[q])) q++;
        // A full stop at the end belongs to the sentence, not to the link.
        int prefixEnd = start + urlArrayLen[prefix];
        while (q > prefixEnd && text[q - 1] == '.') q--;
        std::string link(text + start, q - start);
        out += "<A HREF=\"" + link + "\" target=\"_top\">" + link + "</A>";
        p = q;
    }
    Init(out.c_str());
    return *this;
}

char* String::HTMLEnhanced() {
    if (!text) return nullptr;
    ReplaceLineEnds(*this, "<BR>", true);
    return text;
}

void String::PrepareForWriting() {
    if (text) ReplaceLineEnds(*this, "=0A=\n ", false);
}

ZaBoolean String::VersitUnescape() {
    if (!text || length < 4 || strcasecmp(text + length - 4, "=0A=") != 0) return ZaFalse;
    std::string out(text, length - 4);
    out += '\n';
    Init(out.c_str());
    return ZaTrue;
}

// A last line that ends with the file instead of a line end still counts as
// complete, so that its entry is not lost; only a read that finds nothing at
// all reports the end of the file.
// The chunks are gathered first and joined to the text once, so that a long
// line costs time in proportion to its length.
ZaBoolean String::GetField(FILE* f) {
    char chunk[81];
    std::string line = text ? text : "";
    bool readAny = false, lineEnded = false;
    while (!lineEnded && fgets(chunk, sizeof chunk, f)) {
        readAny = true;
        line += chunk;
        lineEnded = GetLength(chunk) < static_cast<int>(strlen(chunk));
    }
    if (lineEnded)
        while (!line.empty() && IsLineEnd(line.back())) line.pop_back();
    if (readAny) Init(line.c_str());
    return readAny ? ZaTrue : ZaFalse;
}

ZaBoolean String::GetNameValPair(FILE* f, String& name, String& value) {
    Init("");
    name = "";
    value = "";
    ZaBoolean complete = ZaTrue;
    if (GetField(f) == ZaTrue) {
        char* grabbed = StringGrabValBeforeColon(text);
        name = grabbed;
        free(grabbed);
        grabbed = StringGrabValAfterColon(text);
        String part(grabbed ? grabbed : "");
        free(grabbed);
        // Joined in one buffer: a value folded over many lines stays linear.
        std::string joined;
        for (;;) {
            ZaBoolean folded = part.VersitUnescape();
            if (part.text) joined += part.text;
            if (folded != ZaTrue) break;
            Init("");
            if (GetField(f) != ZaTrue) {
                complete = ZaFalse;
                break;
            }
            part = length > 0 ? text + 1 : "";
        }
        value = joined.c_str();
    }
    *this = name + ":" + value;
    return complete;
}
