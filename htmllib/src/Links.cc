// Url, the HTTP header objects of a page's header chain, CacheBuster and the
// cookie text builder.
#include "Links.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "reqinfo.h"
#include "string_class.h"
#include "vallist.h"

namespace {

char* CopyOrNull(const char* text) { return text ? strdup(text) : nullptr; }

String EscapedForURL(const char* text) {
    String escaped(text);
    escaped.PrepForURL();
    return escaped;
}

const char kStripePrefix[] = "ZarvoStriped-";

// The browser keeps this much room below its cookie size limit for the
// attributes (path, expiry) around the value.
constexpr int kCookieAttributeRoom = 100;

// Blank filler of CacheBuster: ten lines of 98 blanks.
constexpr int kFillerLines = 10;
constexpr int kFillerWidth = 98;

void WriteCookie(RequestInfo* out, const std::string& name, const std::string& value, int lifetime) {
    std::unique_ptr<char, decltype(&free)> text(CommonOutput(name.c_str(), value.c_str(), lifetime, "/"),
                                                &free);
    if (text) out->WriteHeader("Set-Cookie", text.get());
}

}  // namespace

Url::Url(const char* base) : HTMLObject(TAG_URL, base), anchor(nullptr) {
    activateURLs = 0;
    enhance = 0;
    EndOnNewLine(ZaFalse);
}

Url::Url(HTMLObject* content) : HTMLObject(TAG_URL), anchor(nullptr) {
    activateURLs = 0;
    enhance = 0;
    EndOnNewLine(ZaFalse);
    addObject(content);
}

Url::~Url() { free(anchor); }

HTMLAttribute* Url::addAttribute(int id, const char* value) {
    return HTMLObject::addAttribute(id, EscapedForURL(value).text);
}

HTMLAttribute* Url::addAttribute(int id, const String& value) {
    return HTMLObject::addAttribute(id, EscapedForURL(value.text));
}

HTMLAttribute* Url::addAttribute(const char* name, const char* value) {
    return HTMLObject::addAttribute(EscapedForURL(name).text, EscapedForURL(value).text);
}

void Url::addAttribute(ValNameList* params) {
    if (!params) return;
    for (ValNameListItem* item = params->head; item; item = item->next) addAttribute(item->name, item->value);
}

void Url::AddAnchorName(const char* name) {
    char* copy = CopyOrNull(name);
    free(anchor);
    anchor = copy;
}

void Url::emit(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    if (data) {
        out->Write(data);
        if (attributes) {
            out->Write("?");
            emitAttribute(out, 0, 1, nullptr);
        }
    }
    if (child) child->emit(out, indent, lineBreaks, style);
    if (anchor) {
        out->Write("#");
        out->Write(anchor);
    }
    if (next) next->emit(out, indent, lineBreaks, style);
}

// A parameter added by attribute number has no name of its own; it goes out
// under the attribute-name table's name.
void Url::emitAttribute(RequestInfo* out, int, int, const char* style) {
    for (HTMLAttribute* attr = attributes; attr; attr = attr->next) {
        out->Write(attr->name ? attr->name : HTMLAttributeName(attr->id));
        out->Write("=");
        if (attr->value) out->Write(attr->value);
        if (attr->object) attr->object->emit(out, 0, 0, style);
        if (attr->next) out->Write("&");
    }
}

WindowTarget::WindowTarget(const char* windowName) : HTMLObject(TAG_WINDOWTARGET, windowName) {
    activateURLs = 0;
    enhance = 0;
    StartOnNewLine(ZaFalse);
}

void WindowTarget::emit(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    out->WriteHeader("Window-target", data ? data : "navbar_frame");
    if (next) next->emit(out, indent, lineBreaks, style);
}

ContentBase::ContentBase(const char* baseUrl) : HTMLObject(TAG_CONTENTBASE, baseUrl) {
    activateURLs = 0;
    enhance = 0;
    StartOnNewLine(ZaFalse);
}

void ContentBase::emit(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    std::string quoted = "\"" + std::string(data ? data : "") + "\"";
    out->WriteHeader("Content-Base", quoted.c_str());
    if (next) next->emit(out, indent, lineBreaks, style);
}

CacheBuster::CacheBuster(const char* text) : HTMLObject(TAG_CACHEBUSTER, text) {
    activateURLs = 0;
    enhance = 0;
    std::string filler(kFillerWidth, ' ');
    filler += "\n";
    for (int i = 0; i < kFillerLines; ++i) addObject(filler.c_str(), ZaFalse);
}

CacheBuster::CacheBuster(HTMLObject* content) : HTMLObject(TAG_CACHEBUSTER) {
    activateURLs = 0;
    enhance = 0;
    addObject(content);
}

SetCookie::SetCookie(const char* cookieName, const char* cookieValue, int seconds)
    : HTMLObject(TAG_SETCOOKIE), name(CopyOrNull(cookieName)), value(CopyOrNull(cookieValue)), lifetime(seconds) {
    StartOnNewLine(ZaFalse);
}

SetCookie::~SetCookie() {
    free(name);
    free(value);
}

// A cookie without a value writes no header.
void SetCookie::emit(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    if (value) WriteCookie(out, name ? name : "", value, lifetime);
    if (next) next->emit(out, indent, lineBreaks, style);
}

FormattedCookie::FormattedCookie(const char* cookieName, const char* cookieValue, int seconds)
    : HTMLObject(TAG_FORMATTEDCOOKIE), name(CopyOrNull(cookieName)), values(new ValList()), lifetime(seconds) {
    values->Append(cookieValue);
    StartOnNewLine(ZaFalse);
}

FormattedCookie::FormattedCookie(const char* cookieName, const ValList* list, int seconds)
    : HTMLObject(TAG_FORMATTEDCOOKIE),
      name(CopyOrNull(cookieName)),
      values(list ? list->Copy() : new ValList()),
      lifetime(seconds) {
    StartOnNewLine(ZaFalse);
}

FormattedCookie::~FormattedCookie() {
    free(name);
    delete values;
}

// Values are joined by ":" until the next one would reach the browser's limit;
// then the gathered text goes out as stripe cookie n ("ZarvoStriped-<n>-name")
// and the plain cookie finally says how many stripes there are. A value that
// alone reaches the limit is not preceded by an empty stripe: it gets a stripe
// of its own, so the stripes read back as exactly the values written.
void FormattedCookie::emit(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    const std::string plainName = name ? name : "";
    auto stripeName = [&plainName](int number) {
        return kStripePrefix + std::to_string(number) + "-" + plainName;
    };
    std::string gathered;
    int stripes = 0;
    for (ValListItem* item = values->head; item; item = item->next) {
        const std::string piece = item->value ? item->value : "";
        const size_t limit = static_cast<size_t>(std::max(0, out->GetMaxCookieLength() - kCookieAttributeRoom));
        if (!gathered.empty() && plainName.size() + gathered.size() + piece.size() >= limit) {
            WriteCookie(out, stripeName(stripes), gathered, lifetime);
            ++stripes;
            gathered.clear();
        }
        if (gathered.empty())
            gathered = piece;
        else
            gathered += ":" + piece;
    }
    if (!values->head) gathered = ":";
    if (stripes > 0) {
        WriteCookie(out, stripeName(stripes), gathered, lifetime);
        ++stripes;
        WriteCookie(out, plainName, kStripePrefix + std::to_string(stripes), lifetime);
    } else {
        WriteCookie(out, plainName, gathered, lifetime);
    }
    if (next) next->emit(out, indent, lineBreaks, style);
}

// Names and values go out as given: callers pass cookie-safe text. An empty
// path counts as none, since "path=;" would match no page.
char* CommonOutput(const char* name, const char* value, int lifetime, const char* path) {
    if (!value) return nullptr;
    std::string text = std::string(name ? name : "") + "=" + value + ";";
    text += " path=";
    text += path && path[0] ? path : "/";
    text += ";";
    if (lifetime > 0) {
        time_t expiry = time(nullptr) + lifetime;
        struct tm utc;
        char date[100];
        if (gmtime_r(&expiry, &utc) && strftime(date, sizeof date, "%A, %d-%b-%y %H:%M:%S GMT", &utc) > 0) {
            text += " expires=";
            text += date;
            text += ";";
        }
    }
    return strdup(text.c_str());
}
