// Signed, revocable login sessions, the anti-forgery tokens of actions that
// change anything, and the audit trail of logins and actions.
//
// A signed session adds the cookie "ZarvoSession" to the four login cookies:
// a random session ID and an HMAC-SHA256, keyed by the installation's secret
// (TOP/config/sessionSecret, made on first use, mode 0600), over the session
// ID, user ID, webmaster flag and expiry those cookies carry. A request is
// logged in only when the signature matches and the session is not revoked.
// The setting "sessionSecurity" (ZA_SIGNED, the default, or ZA_PLAIN) decides.
//
// Protecting a new action takes one line where its link or form is built,
//     ZaProtectUrl(this, url, "myAction");
// and one where it is performed, before anything changes:
//     if (Page* refused = ZaRefuseForgedAction(this, "myAction")) return refused;
// The action's name is compared without regard to letter case.
#ifndef ZASESSION_H
#define ZASESSION_H

#include <string>

#include "zaerror.h"

class HTMLObject;
class Page;
class Url;
class ZaConfigDB;
class ZarvoBaseCommon;

inline constexpr char kSessionCookie[] = "ZarvoSession";
// The request parameter that carries an action's token.
inline constexpr char kTokenParam[] = "zatoken";
// The setting that chooses the kind of session, and its two values.
inline constexpr char kSessionSecuritySetting[] = "sessionSecurity";
enum ZaSessionMode { ZA_SIGNED = 0, ZA_PLAIN = 1 };

// ZA_PLAIN only when the setting says so (letter case ignored); a missing or
// unknown value means ZA_SIGNED.
ZaSessionMode ZaGetSessionMode(ZaConfigDB* config);
bool ZaSignedSessions(ZarvoBaseCommon* common);

// ---------------------------------------------------------------------------
// Sessions (used by the login code)

// Starts a new session for the login cookies the request holds now (right
// after LogIn): a new random ID, signed into the request's own cookie list.
void ZaStartSession(ZarvoBaseCommon* common);
// ZaTrue when the request's session cookie is signed for its login cookies as
// they are and the session has not been revoked.
ZaBoolean ZaSessionIsValid(ZarvoBaseCommon* common);
// The session cookie's value for the request's session with a new expiry
// (the text the expiry cookie will carry); empty without a valid session.
std::string ZaResignedSession(ZarvoBaseCommon* common, const char* uid, const char* expiry);
// Ends the request's session on the server, if it has a valid one: later
// requests with its cookies are not logged in. Raises a ZaError when the
// revocation cannot be recorded.
void ZaRevokeSession(ZarvoBaseCommon* common);
// A new "Set-Cookie" header object (owned by whoever adds it to a page) for
// a session cookie: HttpOnly, SameSite=Strict, Secure over HTTPS, and the
// installation's top URL folder as its path. value is URL-encoded here.
HTMLObject* ZaNewSessionCookie(ZarvoBaseCommon* common, const char* name, const char* value);
// The path the session cookies are set for: SCRIPT_NAME less its last three
// segments ("/zarvo/" for "/zarvo/admin/bin/operadmin.cgi"), at least "/".
std::string ZaCookiePath(const char* scriptName);

// ---------------------------------------------------------------------------
// Anti-forgery tokens (used by page generators and dispatchers)

// The token of the request's session for action (a new malloc text the
// caller frees), or null in plain mode or without a valid session.
char* ZaActionToken(ZarvoBaseCommon* common, const char* action);
// Adds the token for action to url as the parameter kTokenParam and returns
// url; without a token (plain mode, no session) url is returned unchanged.
Url* ZaProtectUrl(ZarvoBaseCommon* common, Url* url, const char* action);
// Null when the request may perform action: in plain mode always; in signed
// mode when it carries this session's token for action and no Origin or
// Referer header names another site. Otherwise the refusal is audited and a
// new page (owned by the caller) says that nothing was changed.
Page* ZaRefuseForgedAction(ZarvoBaseCommon* common, const char* action);

// A new header object (owned by the page it is added to) writing the lines
// every page carries: no caching, no type sniffing, no referrer to other
// sites, and a content security policy that keeps the page out of other
// sites' frames and its forms on this site.
HTMLObject* ZaNewPageSecurityHeaders();

// ---------------------------------------------------------------------------
// Audit trail

// The client's address (REMOTE_ADDR), or "-".
const char* ZaClientAddress();
// One line in the audit log beside the shared log: who (null: the logged-in
// operator), the client's address, action, target and outcome.
void ZaAudit(ZarvoBaseCommon* common, const char* who, const char* action, const char* target,
             const char* outcome);

#endif
