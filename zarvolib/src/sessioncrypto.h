// What the session code and the token code share inside the library: the
// installation's secret, the verified session ID, and the two uses of the
// crypto library (random bytes, HMAC-SHA256), as lower-case hex text.
#ifndef SESSIONCRYPTO_H
#define SESSIONCRYPTO_H

#include <string>

class ZarvoBaseCommon;

// `bytes` bytes from the system's random source; raises a ZaError when it fails.
std::string ZaRandomHex(size_t bytes);
// HMAC-SHA256 of text keyed by key.
std::string ZaHmacHex(const std::string& key, const std::string& text);
// The installation's secret, made on first use; raises a ZaError when it
// can be neither read nor made.
std::string ZaSessionSecret(ZarvoBaseCommon* common);
// The ID of the request's session when its cookie is signed for the login
// cookies and not revoked, else "".
std::string ZaCurrentSessionId(ZarvoBaseCommon* common);

#endif
