// The request object's own state, browser and server recognition, and the
// parameter and cookie lookups.
#include "reqinfo.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "stringutil.h"
#include "vallist.h"

namespace {

const char* OrEmpty(const char* s) { return s ? s : ""; }

// Case-insensitive search; null when either text is absent.
const char* FindNoCase(const char* haystack, const char* needle) {
    if (!haystack || !needle) return nullptr;
    return strcasestr(haystack, needle);
}

// Reads a decimal number of the form digits[.digits] at p. Only that span is
// converted, so texts such as "inf" or hex forms never count as versions.
double ReadDecimal(const char* p) {
    const char* end = p;
    while (*end >= '0' && *end <= '9') ++end;
    if (*end == '.') {
        ++end;
        while (*end >= '0' && *end <= '9') ++end;
    }
    std::string span(p, end - p);
    return span.empty() || span == "." ? 0.0 : strtod(span.c_str(), nullptr);
}

// The whole number at p (0 without digits); stops growing at large values so
// that overlong digit runs cannot overflow.
long ReadWhole(const char* p) {
    long n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (n < 100000000L) n = n * 10 + (*p - '0');
    }
    return n;
}

}  // namespace

RequestInfo::RequestInfo()
    : pendingCR(0),
      queryString(nullptr),
      scriptName(nullptr),
      requestMethod(nullptr),
      outputStream(nullptr),
      contentLength(0),
      serverName(nullptr),
      serverPort(nullptr),
      browserType(0),
      systemType(0),
      browserVersion(0.0),
      serverType(0),
      serverVersion(0.0),
      remoteUser(nullptr),
      params(new ValNameList()),
      cookies(nullptr),
      overLimit(0),
      acceptUploads(1),
      deferredBodyType(nullptr) {}

RequestInfo::~RequestInfo() {
    free(queryString);
    free(scriptName);
    free(requestMethod);
    free(serverName);
    free(serverPort);
    free(remoteUser);
    delete params;
    delete cookies;
    free(deferredBodyType);
}

int RequestInfo::SetupInputStream() { return 0; }

FILE* RequestInfo::SetupOutputStream() { return nullptr; }

int RequestInfo::CloseInputStream() { return 0; }

void RequestInfo::SetSystemType(const char* userAgent) {
    systemType = FindNoCase(userAgent, "Macintosh") ? 1 : 0;
}

// MSIE is tested first because its user agents also name Mozilla.
void RequestInfo::SetBrowserType(const char* userAgent) {
    browserType = 0;
    browserVersion = 0.0;
    if (const char* p = FindNoCase(userAgent, "MSIE")) {
        p += strlen("MSIE");
        while (*p == ' ' || *p == '\t') ++p;
        browserType = 2;
        browserVersion = ReadDecimal(p);
    } else if (const char* q = FindNoCase(userAgent, "Mozilla/")) {
        browserType = 1;
        browserVersion = static_cast<double>(ReadWhole(q + strlen("Mozilla/")));
    }
}

void RequestInfo::SetServerInfo(const char* serverSoftware) {
    if (FindNoCase(serverSoftware, "Microsoft"))
        serverType = 2;
    else if (FindNoCase(serverSoftware, "Netscape"))
        serverType = 1;
    else
        serverType = 0;
    if (const char* slash = serverSoftware ? strchr(serverSoftware, '/') : nullptr)
        serverVersion = ReadDecimal(slash + 1);
}

int RequestInfo::GetMaxUrlLength() { return browserType == 1 ? 4096 : 1024; }

int RequestInfo::GetMaxCookieLength() { return browserType == 1 ? 4096 : 1024; }

char* RequestInfo::FindVar(const char* name) {
    ValNameListItem* item = params->Lookup(name);
    return item ? item->value : nullptr;
}

char* RequestInfo::FindVarCopy(const char* name) {
    const char* value = FindVar(name);
    return value ? strdup(value) : nullptr;
}

char* RequestInfo::FindVar2(const char* name) {
    ValNameListItem* item = params->Lookup(name);
    return item ? item->extra1 : nullptr;
}

void RequestInfo::ReplaceVal(const char* name, const char* value) {
    params->Replace(name, value);
}

char* RequestInfo::FindCookie(const char* name) {
    if (!cookies) return nullptr;
    ValNameListItem* item = cookies->Lookup(name);
    return item ? item->value : nullptr;
}

ValList* RequestInfo::GetValList(const char* name) {
    ValList* result = new ValList();
    if (!name) return result;
    for (ValNameListItem* item = params->head; item; item = item->next) {
        if (item->name && strcasecmp(item->name, name) == 0) result->Append(item->value);
    }
    return result;
}

ValNameList* RequestInfo::GetValListPrefix(const char* prefix) {
    ValNameList* result = new ValNameList();
    if (!prefix) return result;
    size_t length = strlen(prefix);
    for (ValNameListItem* item = params->head; item; item = item->next) {
        if (item->name && strncasecmp(item->name, prefix, length) == 0)
            result->Append(item->name, item->value);
    }
    return result;
}

void RequestInfo::AddParams(ValNameList* list) {
    if (list) params->Add(list);
}

void RequestInfo::AddParam(const char* name, const char* value) { params->Append(name, value); }

void RequestInfo::ParseFormattedCookie(const char* value, ValList* list) {
    if (!value || !list) return;
    const char* p = value;
    while (*p) {
        const char* colon = strchr(p, ':');
        size_t length = colon ? static_cast<size_t>(colon - p) : strlen(p);
        if (length > 0) list->AppendWithDupCheck(std::string(p, length).c_str());
        if (!colon) break;
        p = colon + 1;
    }
}

ValList* RequestInfo::FindFormattedCookie(const char* name) {
    static const char kStriped[] = "ZarvoStriped-";
    const size_t kStripedLength = sizeof kStriped - 1;
    ValList* result = new ValList();
    const char* value = FindCookie(name);
    if (!value) return result;
    if (strncasecmp(value, kStriped, kStripedLength) != 0) {
        ParseFormattedCookie(value, result);
        return result;
    }
    // The stripes end at the first one missing, so a bogus count is harmless.
    long stripes = ReadWhole(value + kStripedLength);
    for (long i = 0; i < stripes; ++i) {
        std::string stripeName = kStriped + std::to_string(i) + "-" + OrEmpty(name);
        const char* stripe = FindCookie(stripeName.c_str());
        if (!stripe) break;
        ParseFormattedCookie(stripe, result);
    }
    return result;
}
