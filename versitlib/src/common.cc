// Vocabulary tables of the vCard model, line splitting and table matching.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "string_class.h"
#include "stringutil.h"
#include "vallist.h"
#include "vcard.h"
#include "versit.h"
#include "zaerror.h"

#define ROW(s) {s, sizeof(s) - 1}

const PropNameAndSize propArray[] = {
    ROW("BEGIN"), ROW("END"), ROW("ADR"), ROW("ORG"), ROW("N"), ROW("AGENT"), ROW("LOGO"),
    ROW("PHOTO"), ROW("LABEL"), ROW("FN"), ROW("TITLE"), ROW("SOUND"), ROW("VERSION"),
    ROW("TEL"), ROW("EMAIL"), ROW("TZ"), ROW("GEO"), ROW("NOTE"), ROW("URL"), ROW("BDAY"),
    ROW("ROLE"), ROW("REV"), ROW("UID"), ROW("KEY"), ROW("MAILER"), ROW("X-ZARVO-MGR-UID"),
    ROW("X-ZARVO-DIRECT-REPORT-UID"), ROW("X-ZARVO-UID"), {nullptr, 0}};

const PropNameAndSize subPropArray[] = {
    ROW("TYPE"), ROW("VALUE"), ROW("ENCODING"), ROW("CHARSET"), ROW("LANGUAGE"), {nullptr, 0}};

const PropNameAndSize typevalPropArray[] = {
    ROW("DOM"), ROW("INTL"), ROW("POSTAL"), ROW("PARCEL"), ROW("HOME"), ROW("WORK"),
    ROW("PREF"), ROW("VOICE"), ROW("FAX"), ROW("MSG"), ROW("CELL"), ROW("PAGER"), ROW("BBS"),
    ROW("MODEM"), ROW("CAR"), ROW("ISDN"), ROW("VIDEO"), ROW("AOL"), ROW("APPLELINK"),
    ROW("ATTMAIL"), ROW("CIS"), ROW("EWORLD"), ROW("INTERNET"), ROW("IBMMAIL"),
    ROW("MCIMAIL"), ROW("POWERSHARE"), ROW("PRODIGY"), ROW("TLX"), ROW("X400"), ROW("GIF"),
    ROW("CGM"), ROW("WMF"), ROW("BMP"), ROW("MET"), ROW("PMB"), ROW("DIB"), ROW("PICT"),
    ROW("TIFF"), ROW("PDF"), ROW("PS"), ROW("JPEG"), ROW("QTIME"), ROW("MPEG"), ROW("MPEG2"),
    ROW("AVI"), ROW("WAVE"), ROW("AIFF"), ROW("PCM"), ROW("X509"), ROW("PGP"),
    ROW("X-ZARVO-INDIRECT-MGR"), ROW("X-ZARVO-INDIRECT-REPORT"), ROW("X-ZARVO-SECRETARY"),
    {nullptr, 0}};

const PropNameAndSize valuevalPropArray[] = {
    ROW("INLINE"), ROW("URL"), ROW("CONTENT-ID"), ROW("CID"), {nullptr, 0}};

const PropNameAndSize encodingvalPropArray[] = {
    ROW("7BIT"), ROW("8BIT"), ROW("QUOTED-PRINTABLE"), ROW("BASE64"), {nullptr, 0}};

#undef ROW

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\0' || c == '\r' || c == '\n'; }
bool EndsWord(char c) { return c == '\0' || c == ';' || c == '=' || IsBlank(c); }

}  // namespace

char* BreakLine(const char* line, char** name, char** value) {
    *name = nullptr;
    *value = nullptr;
    const char* colon = line != nullptr ? line : "";
    while (!IsLineEnd(*colon) && *colon != ':') ++colon;
    if (*colon != ':') {
        ZaError* e = new ZaError;
        e->level = 4;
        e->AddLine(37, "versitlib/src/common", "No ':' character found on line", ZaTrue);
        throw e;
    }
    const char* start = colon + 1;
    while (IsBlank(*start)) ++start;
    const char* end = start;
    while (!IsLineEnd(*end)) ++end;
    *name = StringDup(line, static_cast<int>(colon - line));  // line is not null here: a colon was found
    if (end > start) *value = StringDup(start, static_cast<int>(end - start));
    return *name;
}

int MatchWordFromArray(const char** cursor, const PropNameAndSize* table) {
    if (cursor == nullptr || *cursor == nullptr || table == nullptr) return -1;
    const char* text = *cursor;
    for (int row = 0; table[row].name != nullptr; ++row) {
        const size_t size = table[row].size;
        // strncasecmp stops at the text's NUL, so a short text never matches.
        if (strncasecmp(text, table[row].name, size) == 0 && EndsWord(text[size])) {
            *cursor = text + size;
            return row;
        }
    }
    return -1;
}

int MatchWordFromArray(char** cursor, const PropNameAndSize* table) {
    const char* c = *cursor;
    const int row = MatchWordFromArray(&c, table);
    *cursor += c - *cursor;
    return row;
}

char** GetArray(const ValList* list, int n) {
    if (n < 0) n = 0;
    char** out = static_cast<char**>(calloc(n > 0 ? n : 1, sizeof(char*)));
    const ValListItem* item = list ? list->head : nullptr;
    for (int i = 0; i < n && item != nullptr; ++i, item = item->next) {
        if (item->value != nullptr) out[i] = strdup(item->value);
    }
    return out;
}
