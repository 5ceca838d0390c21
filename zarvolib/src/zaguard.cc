// Anti-forgery tokens of the actions that change anything, the refusal of
// requests that lack them or come from another site, and the audit trail.
#include <strings.h>

#include <openssl/crypto.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "Classes.h"
#include "reqinfo.h"
#include "sessioncrypto.h"
#include "zaaudit.h"
#include "zaconfigDB.h"
#include "zapages.h"
#include "zarvobase.h"
#include "zasession.h"

namespace {

// Tokens are the first 128 bits of the signature: enough against guessing,
// short enough for every link.
const size_t kTokenLength = 32;

std::string TokenFor(ZarvoBaseCommon* common, const std::string& id, const char* action) {
    std::string name = action ? action : "";
    for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return ZaHmacHex(ZaSessionSecret(common), "zarvo-token\n" + id + "\n" + name).substr(0, kTokenLength);
}

// "host[:port]" of an absolute URL such as an Origin or Referer value, in
// lower case; "" when it has none.
std::string Authority(const char* url) {
    const char* start = url ? strstr(url, "://") : nullptr;
    if (!start) return "";
    start += 3;
    size_t length = strcspn(start, "/?#");
    std::string authority(start, length);
    for (char& c : authority) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return authority;
}

std::string OwnAuthority(RequestInfo* request) {
    if (const char* host = getenv("HTTP_HOST")) {
        std::string own = host;
        for (char& c : own) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return own;
    }
    std::string own = request->serverName ? request->serverName : "";
    if (request->serverPort && strcmp(request->serverPort, "80") != 0) own += std::string(":") + request->serverPort;
    for (char& c : own) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return own;
}

// Why a request from a browser names another site as its source, or null.
// Origin is preferred; a browser that sends neither is let through, as the
// token alone then stands for the page the request came from.
const char* ForeignSource(RequestInfo* request) {
    const char* origin = getenv("HTTP_ORIGIN");
    if (origin && *origin)
        return Authority(origin) == OwnAuthority(request) ? nullptr : "request from another site";
    const char* referer = getenv("HTTP_REFERER");
    if (referer && *referer)
        return Authority(referer) == OwnAuthority(request) ? nullptr : "request from another site";
    return nullptr;
}

class PageSecurityHeaders : public HTMLObject {
public:
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override {
        out->WriteHeader("Cache-Control", "no-store");
        out->WriteHeader("X-Content-Type-Options", "nosniff");
        out->WriteHeader("Referrer-Policy", "same-origin");
        out->WriteHeader("Content-Security-Policy",
                         "frame-ancestors 'self'; form-action 'self'; object-src 'none'; base-uri 'self'");
        if (next) next->emit(out, indent, lineBreaks, style);
    }
};

Page* RefusalPage(const char* why) {
    std::unique_ptr<ZaPage> page(new ZaPage());
    page->AppendToBody(new H2("This request was refused; nothing was changed."));
    page->AppendToBody(new B(why));
    page->AppendToBody(new Br(""));
    page->AppendToBody(
        "Actions that change anything are accepted only from the console's own pages in the same "
        "login session. Go back to the console, reload its page and try again.");
    return page.release();
}

}  // namespace

HTMLObject* ZaNewPageSecurityHeaders() { return new PageSecurityHeaders(); }

char* ZaActionToken(ZarvoBaseCommon* common, const char* action) {
    if (!ZaSignedSessions(common)) return nullptr;
    std::string id = ZaCurrentSessionId(common);
    return id.empty() ? nullptr : strdup(TokenFor(common, id, action).c_str());
}

Url* ZaProtectUrl(ZarvoBaseCommon* common, Url* url, const char* action) {
    std::unique_ptr<char, decltype(&free)> token(ZaActionToken(common, action), &free);
    if (token) url->addAttribute(kTokenParam, token.get());
    return url;
}

Page* ZaRefuseForgedAction(ZarvoBaseCommon* common, const char* action) {
    if (!ZaSignedSessions(common)) return nullptr;
    const char* why = ForeignSource(common->request);
    if (!why) {
        std::string id = ZaCurrentSessionId(common);
        const char* given = common->request->FindVar(kTokenParam);
        std::string expected = id.empty() ? "" : TokenFor(common, id, action);
        if (!given || expected.empty() || strlen(given) != expected.size() ||
            CRYPTO_memcmp(given, expected.data(), expected.size()) != 0)
            why = "The request's anti-forgery token is missing or wrong.";
    }
    if (!why) return nullptr;
    const char* target = common->request->FindVar("uid");
    ZaAudit(common, nullptr, action, target, (std::string("refused: ") + why).c_str());
    return RefusalPage(strcmp(why, "request from another site") == 0
                           ? "The request came from a page of another site."
                           : why);
}

const char* ZaClientAddress() {
    const char* address = getenv("REMOTE_ADDR");
    return (address && *address) ? address : "-";
}

void ZaAudit(ZarvoBaseCommon* common, const char* who, const char* action, const char* target,
             const char* outcome) {
    if (!who) who = common->FindUid();
    ZaAuditRecord(common->application->GetConfigDB()->LogFile(), common->application->name,
                  {who, ZaClientAddress(), action, target, outcome});
}
