// The LDAP store's connection: settings from the configuration, a lazy
// connect and bind, paged searches, changes, password operations, and the
// libldap escaping of filter values and DNs. Failures become level-3 errors.
#include "ldapconn.h"

#include <crypt.h>
#include <signal.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>

#include "zaconfigDB.h"
#include "zaerror.h"

static const char kSource[] = "stores/ldapdb/src/ldapconn";

namespace {

struct MessageFree {
  void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};
typedef std::unique_ptr<LDAPMessage, MessageFree> Message;

struct ControlFree {
  void operator()(LDAPControl* c) const { ldap_control_free(c); }
};
typedef std::unique_ptr<LDAPControl, ControlFree> Control;

struct ControlsFree {
  void operator()(LDAPControl** c) const { ldap_controls_free(c); }
};

struct BervalFree {
  void operator()(berval* b) const { ber_bvfree(b); }
};
typedef std::unique_ptr<berval, BervalFree> Berval;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

berval View(const std::string& s) { return berval{static_cast<ber_len_t>(s.size()), const_cast<char*>(s.data())}; }

// LDAPMod arrays over LdapMods, valid while the LdapMods live.
class ModArray {
 public:
  explicit ModArray(const std::vector<LdapMod>& mods) : values(mods.size()), structs(mods.size()) {
    for (size_t i = 0; i < mods.size(); ++i) {
      for (const std::string& v : mods[i].values) vals.push_back(View(v));
    }
    size_t next = 0;
    for (size_t i = 0; i < mods.size(); ++i) {
      for (size_t k = 0; k < mods[i].values.size(); ++k) values[i].push_back(&vals[next++]);
      values[i].push_back(nullptr);
      structs[i].mod_op = mods[i].op | LDAP_MOD_BVALUES;
      structs[i].mod_type = const_cast<char*>(mods[i].attr.c_str());
      structs[i].mod_bvalues = mods[i].values.empty() ? nullptr : values[i].data();
      pointers.push_back(&structs[i]);
    }
    pointers.push_back(nullptr);
  }
  LDAPMod** Get() { return pointers.data(); }

 private:
  std::vector<berval> vals;
  std::vector<std::vector<berval*>> values;
  std::vector<LDAPMod> structs;
  std::vector<LDAPMod*> pointers;
};

std::string Setting(ZaConfigDB* config, const char* key) {
  const char* v = config->ReadValue(key);
  return v ? v : "";
}

bool Expected(int rc, const std::vector<int>& expected) {
  return rc == LDAP_SUCCESS || std::find(expected.begin(), expected.end(), rc) != expected.end();
}

// Every attribute of one search result entry.
LdapEntry EntryOf(LDAP* ld, LDAPMessage* m) {
  LdapEntry entry;
  if (char* dn = ldap_get_dn(ld, m)) {
    entry.dn = dn;
    ldap_memfree(dn);
  }
  BerElement* ber = nullptr;
  for (char* a = ldap_first_attribute(ld, m, &ber); a; a = ldap_next_attribute(ld, m, ber)) {
    std::vector<std::string>& into = entry.values[Lower(a)];
    if (berval** vals = ldap_get_values_len(ld, m, a)) {
      for (berval** v = vals; *v; ++v) into.emplace_back((*v)->bv_val, (*v)->bv_len);
      ldap_value_free_len(vals);
    }
    ldap_memfree(a);
  }
  if (ber) ber_free(ber, 0);
  return entry;
}

}  // namespace

std::string LdapSettings::Key() const {
  return uri + '\n' + (startTLS ? "tls" : "") + '\n' + bindDN + '\n' + password;
}

LdapSettings LdapSettingsFrom(ZaConfigDB* config) {
  LdapSettings s;
  s.uri = Setting(config, "ldapURI");
  if (s.uri.empty()) {
    std::string host = config->LDAPServerName() ? config->LDAPServerName() : "";
    int port = config->LDAPServerPort();
    if (!host.empty()) {
      bool ipv6 = host.find(':') != std::string::npos;
      s.uri = "ldap://" + (ipv6 ? "[" + host + "]" : host) + (port > 0 ? ":" + std::to_string(port) : "");
    }
  }
  s.startTLS = strcasecmp(Setting(config, "ldapStartTLS").c_str(), "TRUE") == 0;
  s.bindDN = config->LDAPRootDN() ? config->LDAPRootDN() : "";
  s.password = config->LDAPRootPasswd() ? config->LDAPRootPasswd() : "";
  std::string passwordFile = Setting(config, "ldapRootPasswdFile");
  if (s.password.empty() && !passwordFile.empty()) {
    // The whole first line of the file, as ldapsearch -y reads it.
    std::ifstream in(passwordFile);
    std::getline(in, s.password);
  }
  s.base = config->LDAPSearchBase() ? config->LDAPSearchBase() : "";
  int pageSize = atoi(Setting(config, "ldapPageSize").c_str());
  if (pageSize > 0) s.pageSize = std::min(pageSize, 100000);
  std::string top = config->GetTopZarvoDir();
  std::string data = Setting(config, "ldapDataDir");
  s.dataDir = data.empty() ? top + "/data" : data[0] == '/' ? data : top + "/" + data;
  return s;
}

const std::string& LdapEntry::First(const std::string& attr) const {
  static const std::string none;
  auto it = values.find(attr);
  return it == values.end() || it->second.empty() ? none : it->second.front();
}

const std::vector<std::string>& LdapEntry::All(const std::string& attr) const {
  static const std::vector<std::string> none;
  auto it = values.find(attr);
  return it == values.end() ? none : it->second;
}

LdapConnection::LdapConnection(const LdapSettings& s) : settings(s) {
  // libldap writes to its socket with write(): a server that went away would
  // end the whole process with SIGPIPE instead of failing the call.
  struct sigaction current;
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
}

LdapConnection::~LdapConnection() {
  if (ld) ldap_unbind_ext_s(ld, nullptr, nullptr);
}

std::shared_ptr<LdapConnection> LdapConnection::Shared(const LdapSettings& s) {
  static std::map<std::string, std::weak_ptr<LdapConnection>> open;
  std::shared_ptr<LdapConnection> c = open[s.Key()].lock();
  if (!c) {
    c = std::make_shared<LdapConnection>(s);
    open[s.Key()] = c;
  }
  return c;
}

void LdapConnection::Fail(int line, const std::string& what, int rc) { Fail(line, what, rc, ld); }

void LdapConnection::Fail(int line, const std::string& what, int rc, LDAP* from) {
  std::string reason = ldap_err2string(rc);
  if (from) {
    char* diag = nullptr;
    if (ldap_get_option(from, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diag) == LDAP_OPT_SUCCESS && diag) {
      if (*diag) reason += std::string(" (") + diag + ")";
      ldap_memfree(diag);
    }
  }
  if (from && from == ld) {
    // A connection that broke is opened again by the next call.
    if (rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR || rc == LDAP_TIMEOUT) {
      ldap_unbind_ext_s(ld, nullptr, nullptr);
      ld = nullptr;
    }
  }
  ZaError* e = new ZaError;
  e->level = 3;
  std::string message = settings.uri.empty() ? "No LDAP server is configured"
                                             : what + " failed at the LDAP server " + settings.uri + ": " + reason;
  e->AddLine(line, kSource, message.c_str(), ZaTrue);
  throw e;
}

LDAP* LdapConnection::Open(bool bind) {
  if (settings.uri.empty()) Fail(__LINE__, "Connecting", LDAP_PARAM_ERROR);
  LDAP* handle = nullptr;
  int rc = ldap_initialize(&handle, settings.uri.c_str());
  if (rc != LDAP_SUCCESS) Fail(__LINE__, "Connecting", rc, nullptr);
  std::unique_ptr<LDAP, void (*)(LDAP*)> guard(handle, [](LDAP* l) { ldap_unbind_ext_s(l, nullptr, nullptr); });
  int version = LDAP_VERSION3;
  timeval network{5, 0}, answer{60, 0};
  ldap_set_option(handle, LDAP_OPT_PROTOCOL_VERSION, &version);
  ldap_set_option(handle, LDAP_OPT_NETWORK_TIMEOUT, &network);
  ldap_set_option(handle, LDAP_OPT_TIMEOUT, &answer);
  ldap_set_option(handle, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
  if (settings.startTLS && (rc = ldap_start_tls_s(handle, nullptr, nullptr)) != LDAP_SUCCESS)
    Fail(__LINE__, "Starting TLS", rc, handle);
  if (bind) {
    berval cred = View(settings.password);
    rc = ldap_sasl_bind_s(handle, settings.bindDN.c_str(), LDAP_SASL_SIMPLE, &cred, nullptr, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) Fail(__LINE__, "Binding as " + settings.bindDN, rc, handle);
  }
  return guard.release();
}

LDAP* LdapConnection::Handle() {
  if (!ld) ld = Open(true);
  return ld;
}

void LdapConnection::Search(const std::string& base, int scope, const std::string& filter,
                            const std::vector<std::string>& attrs,
                            const std::function<void(const LdapEntry&)>& each) {
  std::vector<char*> names;
  for (const std::string& a : attrs) names.push_back(const_cast<char*>(a.c_str()));
  names.push_back(nullptr);
  Berval cookie;
  do {
    LDAP* handle = Handle();
    LDAPControl* made = nullptr;
    int rc = ldap_create_page_control(handle, settings.pageSize, cookie.get(), 0, &made);
    if (rc != LDAP_SUCCESS) Fail(__LINE__, "Paging a search", rc);
    Control page(made);
    LDAPControl* controls[] = {page.get(), nullptr};
    LDAPMessage* raw = nullptr;
    rc = ldap_search_ext_s(handle, base.c_str(), scope, filter.c_str(), names.data(), 0, controls, nullptr,
                           nullptr, LDAP_NO_LIMIT, &raw);
    Message result(raw);
    if (rc == LDAP_NO_SUCH_OBJECT) return;  // a container that is not there holds nothing
    if (rc != LDAP_SUCCESS) Fail(__LINE__, "Searching " + base, rc);
    for (LDAPMessage* m = ldap_first_entry(handle, raw); m; m = ldap_next_entry(handle, m)) each(EntryOf(handle, m));
    LDAPControl** returned = nullptr;
    int err = LDAP_SUCCESS;
    rc = ldap_parse_result(handle, raw, &err, nullptr, nullptr, nullptr, &returned, 0);
    std::unique_ptr<LDAPControl*, ControlsFree> returnedGuard(returned);
    if (rc != LDAP_SUCCESS) Fail(__LINE__, "Reading a search result", rc);
    cookie.reset();
    if (LDAPControl* response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr)) {
      ber_int_t estimate = 0;
      berval next{0, nullptr};
      if (ldap_parse_pageresponse_control(handle, response, &estimate, &next) == LDAP_SUCCESS) {
        if (next.bv_len > 0) cookie.reset(ber_bvdup(&next));
        ber_memfree(next.bv_val);
      }
    }
  } while (cookie);
}

bool LdapConnection::Read(const std::string& dn, const std::vector<std::string>& attrs, LdapEntry* out) {
  std::vector<char*> names;
  for (const std::string& a : attrs) names.push_back(const_cast<char*>(a.c_str()));
  names.push_back(nullptr);
  LDAP* handle = Handle();
  LDAPMessage* raw = nullptr;
  int rc = ldap_search_ext_s(handle, dn.c_str(), LDAP_SCOPE_BASE, "(objectClass=*)", names.data(), 0, nullptr,
                             nullptr, nullptr, 1, &raw);
  Message result(raw);
  if (rc == LDAP_NO_SUCH_OBJECT || rc == LDAP_INVALID_DN_SYNTAX) return false;
  if (rc != LDAP_SUCCESS) Fail(__LINE__, "Reading " + dn, rc);
  LDAPMessage* m = ldap_first_entry(handle, raw);
  if (!m) return false;
  if (out) *out = EntryOf(handle, m);
  return true;
}

int LdapConnection::Add(const std::string& dn, const std::vector<LdapMod>& attrs, std::vector<int> expected) {
  ModArray mods(attrs);
  int rc = ldap_add_ext_s(Handle(), dn.c_str(), mods.Get(), nullptr, nullptr);
  if (!Expected(rc, expected)) Fail(__LINE__, "Adding " + dn, rc);
  return rc;
}

int LdapConnection::Modify(const std::string& dn, const std::vector<LdapMod>& changes, std::vector<int> expected,
                           const std::string& assertion) {
  ModArray mods(changes);
  LDAP* handle = Handle();
  Control check;
  if (!assertion.empty()) {
    LDAPControl* made = nullptr;
    int rc = ldap_create_assertion_control(handle, const_cast<char*>(assertion.c_str()), 1, &made);
    if (rc != LDAP_SUCCESS) Fail(__LINE__, "Making an assertion", rc);
    check.reset(made);
  }
  LDAPControl* controls[] = {check.get(), nullptr};
  int rc = ldap_modify_ext_s(handle, dn.c_str(), mods.Get(), check ? controls : nullptr, nullptr);
  if (!Expected(rc, expected)) Fail(__LINE__, "Changing " + dn, rc);
  return rc;
}

int LdapConnection::Delete(const std::string& dn, std::vector<int> expected) {
  int rc = ldap_delete_ext_s(Handle(), dn.c_str(), nullptr, nullptr);
  if (!Expected(rc, expected)) Fail(__LINE__, "Removing " + dn, rc);
  return rc;
}

size_t LdapConnection::AddMany(const std::vector<std::pair<std::string, std::vector<LdapMod>>>& entries,
                               int window) {
  LDAP* handle = Handle();
  size_t existing = 0;
  int inFlight = 0;
  auto collect = [&] {
    LDAPMessage* raw = nullptr;
    int rc = ldap_result(handle, LDAP_RES_ANY, LDAP_MSG_ALL, nullptr, &raw);
    Message result(raw);
    if (rc <= 0) Fail(__LINE__, "Waiting for an added entry", rc < 0 ? LDAP_SERVER_DOWN : LDAP_TIMEOUT);
    int err = LDAP_SUCCESS;
    rc = ldap_parse_result(handle, raw, &err, nullptr, nullptr, nullptr, nullptr, 0);
    if (rc != LDAP_SUCCESS) Fail(__LINE__, "Reading an add result", rc);
    if (err == LDAP_ALREADY_EXISTS) ++existing;
    else if (err != LDAP_SUCCESS) Fail(__LINE__, "Adding entries", err);
    --inFlight;
  };
  for (const auto& entry : entries) {
    ModArray mods(entry.second);
    int id = 0;
    int rc = ldap_add_ext(handle, entry.first.c_str(), mods.Get(), nullptr, nullptr, &id);
    if (rc != LDAP_SUCCESS) Fail(__LINE__, "Adding " + entry.first, rc);
    if (++inFlight >= window) collect();
  }
  while (inFlight > 0) collect();
  return existing;
}

bool LdapConnection::ServerHashes() {
  if (passwordModify < 0) {
    LdapEntry root;
    passwordModify = 0;
    if (Read("", {"supportedExtension"}, &root))
      for (const std::string& oid : root.All("supportedextension"))
        if (oid == LDAP_EXOP_MODIFY_PASSWD) passwordModify = 1;
  }
  return passwordModify == 1;
}

bool LdapConnection::SetPassword(const std::string& dn, const std::string& password) {
  if (ServerHashes()) {
    berval user = View(dn), fresh = View(password), generated{0, nullptr};
    int rc = ldap_passwd_s(Handle(), &user, nullptr, &fresh, &generated, nullptr, nullptr);
    ber_memfree(generated.bv_val);
    if (rc == LDAP_NO_SUCH_OBJECT) return false;
    if (rc != LDAP_SUCCESS) Fail(__LINE__, "Setting the password of " + dn, rc);
    return true;
  }
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  if (!crypt_gensalt_rn("$y$", 0, nullptr, 0, setting, sizeof setting) &&
      !crypt_gensalt_rn("$6$", 0, nullptr, 0, setting, sizeof setting))
    Fail(__LINE__, "Making a password salt", LDAP_OTHER);
  std::unique_ptr<crypt_data> data(new crypt_data());
  const char* hash = crypt_r(password.c_str(), setting, data.get());
  if (!hash || hash[0] == '*') Fail(__LINE__, "Hashing a password", LDAP_OTHER);
  int rc = Modify(dn, {{LDAP_MOD_REPLACE, "userPassword", {std::string("{CRYPT}") + hash}}}, {LDAP_NO_SUCH_OBJECT});
  return rc == LDAP_SUCCESS;
}

bool LdapConnection::CheckPassword(const std::string& dn, const std::string& password) {
  // An empty password would make the bind an unauthenticated one, which succeeds.
  if (password.empty() || dn.empty()) return false;
  std::unique_ptr<LDAP, void (*)(LDAP*)> check(Open(false), [](LDAP* l) { ldap_unbind_ext_s(l, nullptr, nullptr); });
  berval cred = View(password);
  int rc = ldap_sasl_bind_s(check.get(), dn.c_str(), LDAP_SASL_SIMPLE, &cred, nullptr, nullptr, nullptr);
  if (rc == LDAP_SUCCESS) return true;
  if (rc == LDAP_INVALID_CREDENTIALS || rc == LDAP_INVALID_DN_SYNTAX || rc == LDAP_UNWILLING_TO_PERFORM ||
      rc == LDAP_INAPPROPRIATE_AUTH)
    return false;
  Fail(__LINE__, "Checking a password", rc, check.get());
}

std::string LdapFilterValue(const std::string& value) {
  berval in = View(value), out{0, nullptr};
  if (ldap_bv2escaped_filter_value(&in, &out) != 0) {
    ZaError* e = new ZaError;
    e->AddLine(__LINE__, kSource, "Unable to escape a filter value", ZaFalse);
    throw e;
  }
  std::string escaped(out.bv_val, out.bv_len);
  ber_memfree(out.bv_val);
  return escaped;
}

std::string LdapRdn(const char* attr, const std::string& value) {
  LDAPAVA ava;
  memset(&ava, 0, sizeof ava);
  ava.la_attr = berval{static_cast<ber_len_t>(strlen(attr)), const_cast<char*>(attr)};
  ava.la_value = View(value);
  ava.la_flags = LDAP_AVA_STRING;
  LDAPAVA* avas[] = {&ava, nullptr};
  LDAPRDN rdns[] = {avas, nullptr};
  berval out{0, nullptr};
  if (ldap_dn2bv(rdns, &out, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) {
    ZaError* e = new ZaError;
    e->AddLine(__LINE__, kSource, "Unable to make a DN", ZaFalse);
    throw e;
  }
  std::string rdn(out.bv_val, out.bv_len);
  ber_memfree(out.bv_val);
  return rdn;
}

std::string LdapFirstRdnValue(const std::string& dn) {
  LDAPDN parsed = nullptr;
  if (ldap_str2dn(dn.c_str(), &parsed, LDAP_DN_FORMAT_LDAP) != LDAP_SUCCESS || !parsed) return "";
  std::string value;
  if (parsed[0] && parsed[0][0]) value.assign(parsed[0][0]->la_value.bv_val, parsed[0][0]->la_value.bv_len);
  ldap_dnfree(parsed);
  return value;
}
