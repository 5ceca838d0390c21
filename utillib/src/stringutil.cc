#include "stringutil.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "vallist.h"

// Indexed by code - 32, for the codes 32 to 127.
const unsigned char isAcceptable[96] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 6, 0, 7, 7, 4,  //  !"#$%&'()*+,-./
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 0, 0, 0, 0, 0, 0,  // 0123456789:;<=>?
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,  // @ABCDEFGHIJKLMNO
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 0, 0, 0, 0, 7,  // PQRSTUVWXYZ[\]^_
    0, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,  // `abcdefghijklmno
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 0, 0, 0, 6, 0,  // pqrstuvwxyz{|}~ DEL
};

const char hex[17] = "0123456789ABCDEF";

// Indexed by code - 0xA0.
const char* const entityRefs[96] = {
    "&nbsp;",   "&iexcl;",  "&cent;",   "&pound;",  "&curren;", "&yen;",    "&brvbar;", "&sect;",
    "&uml;",    "&copy;",   "&ordf;",   "&laquo;",  "&not;",    "&shy;",    "&reg;",    "&hibar;",
    "&deg;",    "&plusmn;", "&sup2;",   "&sup3;",   "&acute;",  "&micro;",  "&para;",   "&middot;",
    "&cedil;",  "&sup1;",   "&ordm;",   "&raquo;",  "&frac14;", "&frac12;", "&frac34;", "&iquest;",
    "&Agrave;", "&Aacute;", "&Acirc;",  "&Atilde;", "&Auml;",   "&Aring;",  "&AElig;",  "&Ccedil;",
    "&Egrave;", "&Eacute;", "&Ecirc;",  "&Euml;",   "&Igrave;", "&Iacute;", "&Icirc;",  "&Iuml;",
    "&ETH;",    "&Ntilde;", "&Ograve;", "&Oacute;", "&Ocirc;",  "&Otilde;", "&Ouml;",   "&times;",
    "&Oslash;", "&Ugrave;", "&Uacute;", "&Ucirc;",  "&Uuml;",   "&Yacute;", "&THORN;",  "&szlig;",
    "&agrave;", "&aacute;", "&acirc;",  "&atilde;", "&auml;",   "&aring;",  "&aelig;",  "&ccedil;",
    "&egrave;", "&eacute;", "&ecirc;",  "&euml;",   "&igrave;", "&iacute;", "&icirc;",  "&iuml;",
    "&eth;",    "&ntilde;", "&ograve;", "&oacute;", "&ocirc;",  "&otilde;", "&ouml;",   "&divide;",
    "&oslash;", "&ugrave;", "&uacute;", "&ucirc;",  "&uuml;",   "&yacute;", "&thorn;",  "&yuml;",
};

const int entityRefLen[96] = {
    6, 7, 6, 7, 8, 5, 8, 6, 5, 6, 6, 7, 5, 5, 5, 7,
    5, 8, 6, 6, 7, 7, 6, 8, 7, 6, 6, 7, 8, 8, 8, 8,
    8, 8, 7, 8, 6, 7, 7, 8, 8, 8, 7, 6, 8, 8, 7, 6,
    5, 8, 8, 8, 7, 8, 6, 7, 8, 8, 8, 7, 6, 8, 7, 7,
    8, 8, 7, 8, 6, 7, 7, 8, 8, 8, 7, 6, 8, 8, 7, 6,
    5, 8, 8, 8, 7, 8, 6, 8, 8, 8, 8, 7, 6, 8, 7, 6,
};

const char* const urlArray[] = {
    "shttp://", "http://", "https://",    "ftp:", "file:",    "mailto:", "gopher:",
    "ldap:",    "telnet:", "addBook:", "javascript:", "pop3:", "snews://", "news://",
};
const int urlArrayLen[] = {8, 7, 8, 4, 5, 7, 7, 5, 7, 8, 11, 5, 8, 7};
const int urlArrayLength = 14;

// Indexed by code - '0', for the codes '0' to 'z'.
const int asciiInt[75] = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,                                           // 0-9
    100, 100, 100, 100, 100, 100, 100,                                                       // :;<=>?@
    10,  11,  12,  13,  14,  15,  16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  // A-R
    28,  29,  30,  31,  32,  33,  34,  35,                                                   // S-Z
    100, 100, 100, 100, 100, 100,                                                            // [\]^_`
    10,  11,  12,  13,  14,  15,  16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  // a-r
    28,  29,  30,  31,  32,  33,  34,  35,                                                   // s-z
};

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || IsLineEnd(c); }

char* NewCopy(const char* s, size_t n) {
    char* copy = static_cast<char*>(malloc(n + 1));
    if (!copy) return nullptr;
    memcpy(copy, s, n);
    copy[n] = '\0';
    return copy;
}

// A copy of s[0..n), or null when that part is blank.
char* CopyUnlessBlank(const char* s, size_t n) {
    for (size_t i = 0; i < n; i++)
        if (!IsBlankChar(s[i])) return NewCopy(s, n);
    return nullptr;
}

int HexDigitValue(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u < 'A' ? u - 48 : (u & 0xDF) - 55;
}

int AsciiIntOf(char c) { return (c >= '0' && c <= 'z') ? asciiInt[c - '0'] : 100; }

}  // namespace

ZaBoolean StringIsEmpty(const char* s) {
    if (!s) return ZaTrue;
    for (; *s; s++)
        if (!IsBlankChar(*s)) return ZaFalse;
    return ZaTrue;
}

char HexToChar(const char* p) {
    return static_cast<char>((HexDigitValue(p[0]) * 16 + HexDigitValue(p[1])) & 0xFF);
}

// A '%' without two characters after it (within len and before the text's
// end) is copied as it stands, so nothing beyond the text is ever looked at.
char* StringUnescape(const char* s, int len, ZaBoolean plusToSpace) {
    size_t n = (s && len > 0) ? strnlen(s, len) : 0;
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; i++) {
        if (s[i] == '%' && n - i >= 3) {
            out += HexToChar(s + i + 1);
            i += 2;
        } else if (s[i] == '+' && plusToSpace == ZaTrue) {
            out += ' ';
        } else {
            out += s[i];
        }
    }
    return NewCopy(out.data(), out.size());
}

char* StringGrabValBeforeColon(const char* s) {
    if (!s) return nullptr;
    size_t n = strcspn(s, ":\r\n");
    if (s[n] != ':' || n == 0) return nullptr;
    return CopyUnlessBlank(s, n);
}

char* StringGrabValAfterColon(const char* s) {
    const char* colon = s ? strchr(s, ':') : nullptr;
    if (!colon) return nullptr;
    colon++;
    return CopyUnlessBlank(colon, strcspn(colon, "\r\n"));
}

char* StringGrabVal(const char* s) {
    if (!s) return nullptr;
    return CopyUnlessBlank(s, strcspn(s, "\r\n"));
}

char* StringGrabValBeforeWhitespace(const char* s) {
    if (!s) return nullptr;
    size_t n = strcspn(s, " \t\r\n");
    return n ? NewCopy(s, n) : nullptr;
}

char* StringDup(const char* s, int n) {
    if (!s) return nullptr;
    return NewCopy(s, strnlen(s, n > 0 ? n : 0));
}

char* StringSubstring(const char* needle, const char* haystack) {
    if (!needle || !haystack || !*needle || !*haystack) return nullptr;
    size_t n = strlen(needle);
    for (const char* p = haystack; *p; p++)
        if (strncasecmp(p, needle, n) == 0) return const_cast<char*>(p);
    return nullptr;
}

char* StringEndsWith(const char* s, const char* suffix) {
    if (!s || !suffix) return nullptr;
    size_t n = strlen(s), k = strlen(suffix);
    if (k > n || strcmp(s + n - k, suffix) != 0) return nullptr;
    return const_cast<char*>(s + n - k);
}

char* StringFindExtension(const char* path) {
    const char* dot = path ? strrchr(path, '.') : nullptr;
    if (!dot || !dot[1]) return nullptr;
    return strdup(dot + 1);
}

char* StringFromInteger(int n) { return strdup(std::to_string(n).c_str()); }

char* StringRemoveNewlines(char* s) {
    if (!s) return nullptr;
    for (char* p = s; *p; p++)
        if (IsLineEnd(*p)) *p = ' ';
    return s;
}

ValList* StringTokenize(const char* s) {
    ValList* words = new ValList;
    if (!s) return words;
    const char* p = s;
    for (;;) {
        while (*p && IsBlankChar(*p)) p++;
        if (!*p) break;
        size_t n = strcspn(p, " \t\r\n");
        std::string word(p, n);
        words->Append(word.c_str());
        p += n;
    }
    return words;
}

namespace {

// Fields keep at most this many characters; the rest of a longer field is dropped.
const size_t kMaxFieldLength = 999;

}  // namespace

ValList* StringTokenize(const char* s, char sep) {
    ValList* fields = new ValList;
    if (!s) return fields;
    const char* p = s;
    for (;;) {
        const char* end = strchr(p, sep);
        if (!end || sep == '\0') {
            // The text after the last separator is kept untrimmed; a separator
            // at the very end adds no empty field.
            if (*p || p == s) fields->Append(std::string(p, strnlen(p, kMaxFieldLength)).c_str());
            return fields;
        }
        std::string field(p, std::min<size_t>(end - p, kMaxFieldLength));
        VisibleText(&field[0]);
        fields->Append(field.c_str());
        p = end + 1;
    }
}

int StringCompareAsInt(const char* a, const char* b) {
    int x = a ? atoi(a) : 0, y = b ? atoi(b) : 0;
    return x > y ? 1 : (x < y ? -1 : 0);
}

char* StringToUpper(const char* s) {
    if (!s) return nullptr;
    char* upper = strdup(s);
    for (char* p = upper; *p; p++)
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    return upper;
}

char* StringToLower(char* s) {
    if (!s) return nullptr;
    for (char* p = s; *p; p++) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    return s;
}

char* StringStripSlashes(const char* path) {
    if (StringIsEmpty(path) == ZaTrue) return nullptr;
    const char* slash = strrchr(path, '/');
    return strdup(slash ? slash + 1 : path);
}

char* VisibleText(char* s) {
    if (!s) return nullptr;
    // A blank text, line ends included, has nothing visible to keep.
    if (StringIsEmpty(s) == ZaTrue) {
        s[0] = '\0';
        return s;
    }
    size_t n = strlen(s);
    while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) n--;
    size_t start = 0;
    while (start < n && (s[start] == ' ' || s[start] == '\t')) start++;
    memmove(s, s + start, n - start);
    s[n - start] = '\0';
    return s;
}

// The whole part of v * 100 is taken, not rounded. A negative amount keeps
// its sign in front of the digits.
char* NumberToCurrencyString(double v) {
    int size = snprintf(nullptr, 0, "%fl", v * 100.0);
    std::string printed(size > 0 ? size : 0, '\0');
    snprintf(&printed[0], printed.size() + 1, "%fl", v * 100.0);
    size_t start = printed[0] == '-' ? 1 : 0;
    size_t end = start;
    while (end < printed.size() && isdigit(static_cast<unsigned char>(printed[end]))) end++;
    std::string digits = printed.substr(start, end - start);

    std::string reversed;  // built right to left
    int taken = 0;
    for (size_t i = digits.size(); i-- > 0;) {
        reversed += digits[i];
        taken++;
        bool more = i > 0;
        if (taken == 2)
            reversed += '.';
        else if (taken > 2 && (taken - 2) % 3 == 0 && more)
            reversed += ',';
    }
    std::string amount(reversed.rbegin(), reversed.rend());
    return strdup(("$ " + printed.substr(0, start) + amount).c_str());
}

ValList* SplitStringIntoTokensByColon(const char* s) {
    ValList* fields = new ValList;
    if (!s) return fields;
    std::string rest = s;
    bool tookField = false;
    for (;;) {
        char* field = StringGrabValBeforeColon(rest.c_str());
        char* after = StringGrabValAfterColon(rest.c_str());
        if (!field || !after) {
            free(field);
            free(after);
            break;
        }
        fields->Append(field);
        rest = after;
        tookField = true;
        free(field);
        free(after);
    }
    if (tookField && !rest.empty()) fields->Append(rest.c_str());
    return fields;
}

int Convert(const char* in, char* out) {
    if (!in || !out) {
        if (out) out[0] = '\0';
        return 0;
    }
    size_t n = strlen(in);
    std::string head(in, n < 2 ? n : 2);
    size_t bytes = n > 2 ? (n - 2) / 2 : 0;
    for (size_t i = 0; i < bytes; i++) {
        int high = AsciiIntOf(in[2 + 2 * i]), low = AsciiIntOf(in[3 + 2 * i]);
        out[i] = static_cast<char>((high * 16 + low) & 0xFF);
    }
    out[bytes] = '\0';
    return atoi(head.c_str());
}

ZaBoolean SearchProtocol(const char* prefix, const char* text) {
    if (!prefix || !text) return ZaFalse;
    return strncasecmp(text, prefix, strlen(prefix)) == 0 ? ZaTrue : ZaFalse;
}

int GetLength(const char* buf) {
    int n = 0;
    while (n < 81 && buf[n] && !IsLineEnd(buf[n])) n++;
    return n;
}
