// String: an owned, possibly absent, NUL-terminated text with its length, and
// the escaping and line-folding operations that pages and text files rely on.
// Copies are deep; no two Strings share a buffer.
#include "zaerror.h"  // before the guard: see zaerror.h

#ifndef STRING_CLASS_H
#define STRING_CLASS_H

#include <cstdio>

class String {
public:
    char* text;  // owned, null when there is no text
    int length;  // characters in text, 0 when there is none

    String();
    String(const char* s);  // null gives no text
    explicit String(int n);  // decimal form of n
    String(const String& other);
    String(int n, char c);  // n copies of c
    String(const char* s, int n);  // exactly the first n bytes of s
    ~String();

    void Init(const char* s);  // replaces the text with a copy of s
    void Cleanup();            // drops the text

    void Print(FILE* f) const;
    void Println(FILE* f) const;  // writes nothing at all when there is no text

    String operator+(const String& other) const;
    String operator+(const char* s) const;
    String& operator+=(const char* s);
    String& operator+=(const String& other);
    String& operator=(const String& other);

    String Copy() const;
    int IndexOf(char c) const;  // -1 when absent
    String SubString(int start) const;
    String SubString(int start, int end) const;  // [start, end); whole copy on bad bounds

    // In-place escaping; each leaves the text untouched when nothing needs escaping.
    void PrepForURL();   // all but letters, digits and * - . @ _ become %XX
    void PrepForHTML();  // " & < > and 0xA0-0xFF become entities
    void PrepForJS();    // ' and \ get a backslash in front
    // Wraps URLs in the text in links, in place; returns a copy of the result.
    String ActivateURLs();
    // Each line end becomes "<BR>"; returns the text, which stays owned by this object.
    char* HTMLEnhanced();

    // Line folding of the text files: each line end becomes "=0A=", LF, blank.
    void PrepareForWriting();
    // Undoes a fold at the end of the text; ZaTrue when there was one.
    ZaBoolean VersitUnescape();
    // Appends one physical line of f (line end cut); ZaTrue when a whole line was read.
    ZaBoolean GetField(FILE* f);
    // Reads one folded "name:value" entry; ZaFalse only when the file ends inside a fold.
    ZaBoolean GetNameValPair(FILE* f, String& name, String& value);
};

#endif
