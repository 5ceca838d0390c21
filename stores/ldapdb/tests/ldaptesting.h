// Helpers for the LDAP store's tests: a private slapd started by the
// project's script in a scratch folder and stopped by its own process id.
#ifndef LDAPTESTING_H
#define LDAPTESTING_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "ldapconn.h"
#include "zaerror.h"

inline std::string RunScript(const std::string& cmd, int* status = nullptr) {
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  std::string text;
  char buf[4096];
  size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int rc = p ? pclose(p) : -1;
  if (status) *status = rc;
  return text;
}

struct PrivateSlapd {
  std::string dir;
  LdapSettings settings;
  std::string output;  // what the start script said
  bool running = false;

  PrivateSlapd() {
    char name[] = "/tmp/zaldaptest-XXXXXX";  // short: the socket path has a length limit
    dir = mkdtemp(name);
    settings.bindDN = "cn=admin,dc=example,dc=org";
    settings.base = "dc=example,dc=org";
    settings.dataDir = dir + "/data";
    Start();
    std::ifstream(dir + "/rootpw") >> settings.password;
  }
  ~PrivateSlapd() {
    Stop();
    (void)!system(("rm -rf '" + dir + "'").c_str());
  }
  void Start() {
    int status = 0;
    output = RunScript(ZA_SOURCE_DIR "/scripts/ldap-server.sh start '" + dir + "'", &status);
    size_t at = output.find("ldapURI:");
    if (status == 0 && at != std::string::npos) {
      settings.uri = output.substr(at + 8, output.find('\n', at) - at - 8);
      running = true;
    }
  }
  void Stop() {
    RunScript(ZA_SOURCE_DIR "/scripts/ldap-server.sh stop '" + dir + "'");
    running = false;
  }
};

// The level of the ZaError* that f throws, or 0 when it throws none.
template <class F>
int ErrorLevel(F f) {
  try {
    f();
  } catch (ZaError* e) {
    int level = e->level;
    delete e;
    return level;
  }
  return 0;
}

#endif
