// Free functions on plain character strings and the fixed tables of the
// escaping rules. Functions that return new text return a malloc buffer that
// the caller frees; those that return a ValList return a list the caller
// deletes; "in place" functions change and return the caller's buffer.
#ifndef STRINGUTIL_H
#define STRINGUTIL_H

#include "zaerror.h"

class ValList;

// Bit sets for the codes 32..127: bit 1 letters, digits and * - . @ _ (kept by
// PrepForURL); bit 2 adds + and ~; bit 4 adds + ~ and /.
extern const unsigned char isAcceptable[96];
extern const char hex[17];  // "0123456789ABCDEF"
// Entities of the codes 0xA0..0xFF and their lengths.
extern const char* const entityRefs[96];
extern const int entityRefLen[96];
// Link prefixes recognised by String::ActivateURLs, their lengths and count.
extern const char* const urlArray[];
extern const int urlArrayLen[];
extern const int urlArrayLength;
// Digit values for the codes '0'..'z': 0-9, 10-35 for letters, 100 otherwise.
extern const int asciiInt[75];

ZaBoolean StringIsEmpty(const char* s);  // null, "" or only blanks, tabs, CR, LF
char HexToChar(const char* p);           // the byte coded by p[0], p[1]; no validation
char* StringUnescape(const char* s, int len, ZaBoolean plusToSpace);
char* StringGrabValBeforeColon(const char* s);
char* StringGrabValAfterColon(const char* s);
char* StringGrabVal(const char* s);
char* StringGrabValBeforeWhitespace(const char* s);
char* StringDup(const char* s, int n);
// Pointer into haystack where needle starts (ignoring case), or null.
char* StringSubstring(const char* needle, const char* haystack);
// Pointer into s where suffix starts when s ends with it (case-sensitive), or null.
char* StringEndsWith(const char* s, const char* suffix);
char* StringFindExtension(const char* path);
char* StringFromInteger(int n);
char* StringRemoveNewlines(char* s);  // in place: each CR and LF becomes a blank
ValList* StringTokenize(const char* s);            // words between runs of white space
ValList* StringTokenize(const char* s, char sep);  // fields between separators
int StringCompareAsInt(const char* a, const char* b);
char* StringToUpper(const char* s);
char* StringToLower(char* s);  // in place
char* StringStripSlashes(const char* path);
char* VisibleText(char* s);  // in place: trims blanks and tabs at both ends
char* NumberToCurrencyString(double v);
ValList* SplitStringIntoTokensByColon(const char* s);
// Returns atoi of in's first two characters; decodes the rest, two characters a
// byte, into out (which needs (strlen(in) - 2) / 2 + 1 bytes).
int Convert(const char* in, char* out);
ZaBoolean SearchProtocol(const char* prefix, const char* text);
int GetLength(const char* buf);  // characters before the first CR or LF, at most 81

#endif
