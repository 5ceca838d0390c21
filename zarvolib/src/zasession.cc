// Signed sessions: the installation's secret, the signature over the login
// cookies, the revocation of ended sessions and the session cookies' header
// lines. Tokens, the refusal of forged actions and the audit trail are in
// zaguard.cc.
//
// Revoked sessions are kept as one empty-named file per session ID in
// TOP/config/revokedSessions, holding the time after which the session's
// cookies could no longer be valid anyway: a request looks for its own ID
// only (one stat), and each logout removes the entries that have expired.
#include "zasession.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "Classes.h"
#include "reqinfo.h"
#include "string_class.h"
#include "vallist.h"
#include "zaconfigDB.h"
#include "zalock.h"
#include "zaprivfile.h"
#include "zarvobase.h"
#include "zatime.h"
#include "sessioncrypto.h"

namespace {

const char kSource[] = "zarvolib/src/zasession";
const size_t kSessionIdBytes = 16;
const size_t kSecretBytes = 32;
const size_t kSignatureHexLength = 64;  // HMAC-SHA256

[[noreturn]] void Raise(int line, const std::string& message) {
    ZaError* error = new ZaError();
    error->AddLine(line, kSource, message.c_str(), ZaFalse);
    throw error;
}

std::string ConfigFolder(ZarvoBaseCommon* common) {
    return std::string(common->application->GetConfigDB()->GetTopZarvoDir()) + "/config";
}

// A cookie of the request, "" when absent.
std::string CookieText(ZarvoBaseCommon* common, const char* name) {
    const char* value = common->request->FindCookie(name);
    return value ? value : "";
}

std::string HexText(const unsigned char* bytes, size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

bool IsHex(const std::string& text, size_t length) {
    if (text.size() != length) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// The session ID of a well-formed session cookie ("<id>.<signature>"), else "".
std::string SessionId(const std::string& cookie, std::string* signature) {
    size_t dot = cookie.find('.');
    if (dot == std::string::npos) return "";
    std::string id = cookie.substr(0, dot);
    *signature = cookie.substr(dot + 1);
    return IsHex(id, 2 * kSessionIdBytes) && IsHex(*signature, kSignatureHexLength) ? id : "";
}

// Each field carries its length, so that no two sets of cookies sign alike.
std::string SignedText(const std::string& id, const std::string& uid, const std::string& webmaster,
                       const std::string& expiry) {
    std::string text = "zarvo-session";
    for (const std::string* field : {&id, &uid, &webmaster, &expiry})
        text += "\n" + std::to_string(field->size()) + ":" + *field;
    return text;
}

// Reads the secret, or makes it: written to a private temporary file first
// and linked into place, so that two first requests agree on one secret.
std::string LoadOrMakeSecret(const std::string& path) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ZaOpenPrivateFile(path.c_str(), O_RDONLY, 0600);
        if (fd >= 0) {
            char text[2 * kSecretBytes + 1] = "";
            ssize_t got = read(fd, text, 2 * kSecretBytes);
            close(fd);
            std::string secret(text, got > 0 ? static_cast<size_t>(got) : 0);
            if (IsHex(secret, 2 * kSecretBytes)) return secret;
            Raise(__LINE__, "The session secret " + path + " is damaged; remove it to make a new one");
        }
        if (errno != ENOENT) Raise(__LINE__, "Unable to read the session secret " + path);
        std::string secret = ZaRandomHex(kSecretBytes);
        std::string temporary = path + ".XXXXXX";
        int out = mkstemp(&temporary[0]);
        if (out < 0) Raise(__LINE__, "Unable to create the session secret " + path);
        bool written = fchmod(out, 0600) == 0 &&
                       write(out, secret.data(), secret.size()) == static_cast<ssize_t>(secret.size()) &&
                       fsync(out) == 0;
        close(out);
        bool linked = written && (link(temporary.c_str(), path.c_str()) == 0 || errno == EEXIST);
        unlink(temporary.c_str());
        if (!linked) Raise(__LINE__, "Unable to create the session secret " + path);
    }
    Raise(__LINE__, "Unable to read the session secret " + path);
}

std::string RevokedFolder(ZarvoBaseCommon* common) { return ConfigFolder(common) + "/revokedSessions"; }

bool IsRevoked(ZarvoBaseCommon* common, const std::string& id) {
    struct stat st;
    return stat((RevokedFolder(common) + "/" + id).c_str(), &st) == 0;
}

// Removes the entries whose sessions have expired by now; "0" never expires.
void PruneRevoked(const std::string& folder, long long now) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return;
    while (struct dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (!IsHex(name, 2 * kSessionIdBytes)) continue;
        std::string path = folder + "/" + name;
        char text[32] = "";
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        ssize_t got = read(fd, text, sizeof text - 1);
        close(fd);
        long long until = got > 0 ? strtoll(text, nullptr, 10) : 0;
        if (until != 0 && until < now) unlink(path.c_str());
    }
}

// "Set-Cookie: name=value; path=P; HttpOnly; SameSite=Strict[; Secure]".
class SessionCookie : public HTMLObject {
public:
    SessionCookie(const std::string& text) : line(text) {}
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override {
        out->WriteHeader("Set-Cookie", line.c_str());
        if (next) next->emit(out, indent, lineBreaks, style);
    }

private:
    std::string line;
};

bool OverHttps() {
    const char* https = getenv("HTTPS");
    return https && (strcasecmp(https, "on") == 0 || strcmp(https, "1") == 0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Keys and signatures

std::string ZaRandomHex(size_t bytes) {
    std::unique_ptr<unsigned char[]> raw(new unsigned char[bytes]);
    if (RAND_bytes(raw.get(), static_cast<int>(bytes)) != 1) Raise(__LINE__, "The random source failed");
    return HexText(raw.get(), bytes);
}

std::string ZaHmacHex(const std::string& key, const std::string& text) {
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
              reinterpret_cast<const unsigned char*>(text.data()), text.size(), mac, &length))
        Raise(__LINE__, "Unable to sign the session");
    return HexText(mac, length);
}

std::string ZaSessionSecret(ZarvoBaseCommon* common) {
    // One process serves one installation, so the secret is read once.
    static std::string path, secret;
    std::string wanted = ConfigFolder(common) + "/sessionSecret";
    if (wanted != path || secret.empty()) {
        secret = LoadOrMakeSecret(wanted);
        path = wanted;
    }
    return secret;
}

ZaSessionMode ZaGetSessionMode(ZaConfigDB* config) {
    const char* value = config ? config->ReadValue(kSessionSecuritySetting) : nullptr;
    return (value && strcasecmp(value, "ZA_PLAIN") == 0) ? ZA_PLAIN : ZA_SIGNED;
}

bool ZaSignedSessions(ZarvoBaseCommon* common) {
    return ZaGetSessionMode(common->application->GetConfigDB()) == ZA_SIGNED;
}

void ZaStartSession(ZarvoBaseCommon* common) {
    std::string id = ZaRandomHex(kSessionIdBytes);
    std::string signature =
        ZaHmacHex(ZaSessionSecret(common), SignedText(id, CookieText(common, kUidCookie),
                                                      CookieText(common, kWebmasterCookie),
                                                      CookieText(common, kLoginTimeCookie)));
    common->request->cookies->Replace(kSessionCookie, (id + "." + signature).c_str());
}

std::string ZaCurrentSessionId(ZarvoBaseCommon* common) {
    std::string signature;
    std::string id = SessionId(CookieText(common, kSessionCookie), &signature);
    if (id.empty()) return "";
    std::string expected =
        ZaHmacHex(ZaSessionSecret(common), SignedText(id, CookieText(common, kUidCookie),
                                                      CookieText(common, kWebmasterCookie),
                                                      CookieText(common, kLoginTimeCookie)));
    if (CRYPTO_memcmp(expected.data(), signature.data(), expected.size()) != 0) return "";
    return IsRevoked(common, id) ? "" : id;
}

ZaBoolean ZaSessionIsValid(ZarvoBaseCommon* common) {
    return ZaCurrentSessionId(common).empty() ? ZaFalse : ZaTrue;
}

std::string ZaResignedSession(ZarvoBaseCommon* common, const char* uid, const char* expiry) {
    std::string id = ZaCurrentSessionId(common);
    if (id.empty()) return "";
    return id + "." + ZaHmacHex(ZaSessionSecret(common),
                                SignedText(id, uid ? uid : "", CookieText(common, kWebmasterCookie),
                                           expiry ? expiry : ""));
}

void ZaRevokeSession(ZarvoBaseCommon* common) {
    std::string id = ZaCurrentSessionId(common);
    if (id.empty()) return;
    const std::string folder = RevokedFolder(common);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) Raise(__LINE__, "Unable to create " + folder);
    // The cookies of this session stay acceptable at most one time-out after
    // their last refresh; without a time-out they would stay so for ever.
    const long long now = ZaTime().t;
    const int timeout = common->application->GetConfigDB()->UserSessionTimeOut();
    const std::string until = timeout > 0 ? std::to_string(now + timeout) : "0";
    ZaLockFileGuard lock((folder + ".lck").c_str(), ZaExclusiveLock);
    PruneRevoked(folder, now);
    const std::string path = folder + "/" + id;
    int fd = ZaOpenPrivateFile(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    bool written = fd >= 0 && write(fd, until.data(), until.size()) == static_cast<ssize_t>(until.size());
    if (fd >= 0) close(fd);
    lock.Release();
    if (!written) Raise(__LINE__, "Unable to record the end of a session in " + folder);
}

// ---------------------------------------------------------------------------
// Cookies

std::string ZaCookiePath(const char* scriptName) {
    std::string path = scriptName ? scriptName : "";
    for (int segment = 0; segment < 3; ++segment) {
        size_t slash = path.rfind('/');
        if (slash == std::string::npos) return "/";
        path.resize(slash);
    }
    return path + "/";
}

HTMLObject* ZaNewSessionCookie(ZarvoBaseCommon* common, const char* name, const char* value) {
    String encoded(value);
    encoded.PrepForURL();
    std::string line = std::string(name) + "=" + (encoded.text ? encoded.text : "") +
                       "; path=" + ZaCookiePath(common->request->scriptName) + "; HttpOnly; SameSite=Strict";
    if (OverHttps()) line += "; Secure";
    return new SessionCookie(line);
}
