// Link targets and HTTP header objects. Url prints a base URL with its query
// parameters and anchor, inside the quotes of the attribute that holds it.
// WindowTarget, ContentBase, SetCookie and FormattedCookie write header lines
// from a page's header chain (Page::AddToList), then emit the next header
// object. CacheBuster prints its text and a block of blank filler.
#ifndef LINKS_H
#define LINKS_H

#include "HTMLObject.h"

class ValList;

// A URL: data is the base, named attributes are the query parameters.
class Url : public HTMLObject {
public:
    char* anchor;  // owned copy or null; written after "#"

    explicit Url(const char* base);
    explicit Url(HTMLObject* content);
    ~Url() override;

    using HTMLObject::addAttribute;
    // Values (and for named parameters the names too) are URL-encoded, then HTML-escaped.
    HTMLAttribute* addAttribute(int id, const char* value) override;
    HTMLAttribute* addAttribute(int id, const String& value) override;
    HTMLAttribute* addAttribute(const char* name, const char* value) override;
    // Adds every name/value pair of the list as a parameter, in order.
    void addAttribute(ValNameList* params);
    void AddAnchorName(const char* name);

    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
    // Parameters as name=value joined by "&"; no quotes, no leading space.
    void emitAttribute(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
};

// "Window-target" header; a null name targets "navbar_frame".
class WindowTarget : public HTMLObject {
public:
    explicit WindowTarget(const char* windowName);
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
};

// "Content-Base" header with the base URL in double quotes.
class ContentBase : public HTMLObject {
public:
    explicit ContentBase(const char* baseUrl);
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
};

// Text followed by ten lines of blank filler, so that browsers and proxies
// that buffer small writes show a streamed page piece by piece.
class CacheBuster : public HTMLObject {
public:
    explicit CacheBuster(const char* text);
    explicit CacheBuster(HTMLObject* content);  // no filler
};

// One "Set-Cookie" header. lifetime: seconds from now; 0 or less = no expiry.
class SetCookie : public HTMLObject {
public:
    char* name;   // owned copy
    char* value;  // owned copy; null writes no header
    int lifetime;

    SetCookie(const char* name, const char* value, int lifetime);
    ~SetCookie() override;
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
};

// A list of values as one cookie joined by ":", split into numbered
// "ZarvoStriped-<n>-<name>" cookies when it is too long for the browser.
class FormattedCookie : public HTMLObject {
public:
    char* name;       // owned copy
    ValList* values;  // owned
    int lifetime;

    FormattedCookie(const char* name, const char* value, int lifetime);
    FormattedCookie(const char* name, const ValList* values, int lifetime);  // copies the list
    ~FormattedCookie() override;
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
};

// "name=value; path=<path or />;" plus " expires=<GMT date>;" when lifetime > 0.
// A new malloc text the caller frees, or null when value is null.
char* CommonOutput(const char* name, const char* value, int lifetime, const char* path);

#endif
