// LdapConnection: the LDAP store's one connection to its directory server,
// opened and bound on first use and shared by the user and group stores of a
// process. Every failure to reach or bind the server, and every unexpected
// answer, raises a ZaError* of level 3 naming the server's reason, so that
// the console shows its LDAP set-up form.
#ifndef LDAPCONN_H
#define LDAPCONN_H

#include <ldap.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ZaConfigDB;

// Where the directory is and how to bind, from the configuration: the
// optional "ldapURI" (ldap://, ldaps:// or ldapi://) or else "ldapServerName"
// and "ldapServerPort"; "ldapStartTLS" TRUE to ask for TLS on an ldap:// URL;
// "rootDN" and "rootPasswd" to bind, or instead of the password
// "ldapRootPasswdFile", a file whose first line is the password; "ldapSearchBase"; "ldapPageSize" (results
// per page of a listing, 500 by default); "ldapDataDir", the folder of the
// users' and groups' files (relative paths count from the installation's top
// folder; TOP/data when missing).
struct LdapSettings {
  std::string uri, bindDN, password, base, dataDir;
  bool startTLS = false;
  int pageSize = 500;
  std::string Key() const;  // identifies the server and identity
};
LdapSettings LdapSettingsFrom(ZaConfigDB* config);

// One entry of a search result: its DN and its values by lower-cased
// attribute name.
struct LdapEntry {
  std::string dn;
  std::map<std::string, std::vector<std::string>> values;
  // The first value of the attribute, or "" when it has none.
  const std::string& First(const std::string& attr) const;
  const std::vector<std::string>& All(const std::string& attr) const;
};

// A modification: op is LDAP_MOD_ADD, LDAP_MOD_DELETE or LDAP_MOD_REPLACE;
// an empty value list with DELETE removes the whole attribute.
struct LdapMod {
  int op;
  std::string attr;
  std::vector<std::string> values;
};

class LdapConnection {
 public:
  explicit LdapConnection(const LdapSettings& settings);
  ~LdapConnection();
  LdapConnection(const LdapConnection&) = delete;
  LdapConnection& operator=(const LdapConnection&) = delete;

  // The connection shared by every store of this process that uses the same
  // server and identity; it closes when the last user lets go.
  static std::shared_ptr<LdapConnection> Shared(const LdapSettings& settings);

  const LdapSettings& Settings() const { return settings; }

  // Every entry below `base` in `scope` matching `filter`, page by page (the
  // simple paged results control), with only the attributes named.
  void Search(const std::string& base, int scope, const std::string& filter,
              const std::vector<std::string>& attrs, const std::function<void(const LdapEntry&)>& each);
  // The entry at dn; false when it does not exist.
  bool Read(const std::string& dn, const std::vector<std::string>& attrs, LdapEntry* out);

  // Changes that the caller expects may be refused return the server's result
  // code (LDAP_SUCCESS, LDAP_NO_SUCH_OBJECT, LDAP_ALREADY_EXISTS, ...); the
  // codes listed in `expected` come back, any other failure raises.
  int Add(const std::string& dn, const std::vector<LdapMod>& attrs, std::vector<int> expected);
  int Modify(const std::string& dn, const std::vector<LdapMod>& mods, std::vector<int> expected,
             const std::string& assertion = "");
  int Delete(const std::string& dn, std::vector<int> expected);

  // Adds many entries with up to `window` requests in flight; returns how many
  // were refused as existing already. Any other refusal raises.
  size_t AddMany(const std::vector<std::pair<std::string, std::vector<LdapMod>>>& entries, int window = 64);

  // Sets the entry's password with the Password Modify operation, so that the
  // server hashes it by its own policy; where the server lacks the operation,
  // stores a crypt(3) "{CRYPT}" value. False when there is no such entry.
  bool SetPassword(const std::string& dn, const std::string& password);
  // Binds as dn with the password on a connection of its own; true when the
  // server accepts it. An empty password is always refused.
  bool CheckPassword(const std::string& dn, const std::string& password);

  // Raises the level-3 error for a failed call `what` with result code rc.
  [[noreturn]] void Fail(int line, const std::string& what, int rc);
  // The same with the server's diagnostic read from `from`.
  [[noreturn]] void Fail(int line, const std::string& what, int rc, LDAP* from);

 private:
  LDAP* Handle();              // connects and binds when not yet done
  LDAP* Open(bool bind);       // a new connection, bound as the store when asked
  bool ServerHashes();         // the root DSE lists Password Modify

  LdapSettings settings;
  LDAP* ld = nullptr;
  int passwordModify = -1;     // unknown, no, yes
};

// Escaping from libldap: a value inside a search filter (RFC 4515), and an
// RDN "attr=value" with the value escaped for a DN (RFC 4514).
std::string LdapFilterValue(const std::string& value);
std::string LdapRdn(const char* attr, const std::string& value);
// The value of the first RDN of dn ("uid=a\,b,ou=x" gives "a,b"), "" when
// dn cannot be parsed.
std::string LdapFirstRdnValue(const std::string& dn);

#endif
