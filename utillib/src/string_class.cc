#include "string_class.h"

#include <cstdlib>
#include <cstring>
#include <string>

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

// Calls emit(piece) for every run of the text, with each line end (a CR LF pair
// or a single CR or LF) replaced by `lineEnd`.
template <class Emit>
void ForEachLineEnd(const char* text, int length, const char* lineEnd, Emit emit) {
    int start = 0;
    for (int i = 0; i < length; i++) {
        if (!IsLineEnd(text[i])) continue;
        emit(std::string(text + start, i - start));
        emit(std::string(lineEnd));
        if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') i++;
        start = i + 1;
    }
    emit(std::string(text + start, length - start));
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
    std::string out;
    out.reserve(length + extra);
    for (int i = 0; i < length; i++) {
        unsigned char u = static_cast<unsigned char>(text[i]);
        if (AcceptBits(text[i]) & 1) {
            out += text[i];
        } else {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    Init(out.c_str());
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
    std::string out;
    out.reserve(outLength);
    for (int i = 0; i < length; i++) {
        const char* entity = HtmlEntity(text[i]);
        if (entity)
            out += entity;
        else
            out += text[i];
    }
    Init(out.c_str());
}

void String::PrepForJS() {
    if (!text) return;
    int quotes = 0;
    for (int i = 0; i < length; i++)
        if (text[i] == '\'') quotes++;
    if (quotes == 0) return;
    std::string out;
    out.reserve(length + quotes);
    for (int i = 0; i < length; i++) {
        if (text[i] == '\'') out += '\\';
        out += text[i];
    }
    Init(out.c_str());
}

String String::ActivateURLs() {
    if (!text) return String();
    std::string out;
    int p = 0;
    while (p < length) {
        while (p < length && !IsAsciiLetter(text[p])) out += text[p++];
        if (p >= length) break;
        int prefix = -1;
        for (int i = 0; i < urlArrayLength && prefix < 0; i++)
            if (SearchProtocol(urlArray[i], text + p) == ZaTrue) prefix = i;
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
    std::string out;
    ForEachLineEnd(text, length, "<BR>", [&](const std::string& piece) { out += piece; });
    Init(out.c_str());
    return text;
}

void String::PrepareForWriting() {
    if (!text) return;
    bool hasLineEnd = false;
    for (int i = 0; i < length && !hasLineEnd; i++) hasLineEnd = IsLineEnd(text[i]);
    if (!hasLineEnd) return;
    std::string out;
    ForEachLineEnd(text, length, "=0A=\n ", [&](const std::string& piece) { out += piece; });
    Init(out.c_str());
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
ZaBoolean String::GetField(FILE* f) {
    char chunk[81];
    bool readAny = false;
    while (fgets(chunk, sizeof chunk, f)) {
        readAny = true;
        *this += chunk;
        if (GetLength(chunk) < static_cast<int>(strlen(chunk))) {
            int end = length;
            while (end > 0 && IsLineEnd(text[end - 1])) end--;
            Init(std::string(text, end).c_str());
            return ZaTrue;
        }
    }
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
        for (;;) {
            ZaBoolean folded = part.VersitUnescape();
            value += part;
            if (folded != ZaTrue) break;
            Init("");
            if (GetField(f) != ZaTrue) {
                complete = ZaFalse;
                break;
            }
            part = length > 0 ? text + 1 : "";
        }
    }
    *this = name + ":" + value;
    return complete;
}
