// Small helpers shared by the LDAP store's UserDB and GroupDB: conversions to
// the program's types and a wrapper naming the operation in an error's trace.
#ifndef LDAPTRACED_H
#define LDAPTRACED_H

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vallist.h"
#include "zaerror.h"

inline std::string LdapText(const char* s) { return s ? s : ""; }
inline ZaBoolean LdapYes(bool b) { return b ? ZaTrue : ZaFalse; }
inline char* LdapCopy(const std::string& s) { return strdup(s.c_str()); }

inline ValList* LdapValList(const std::vector<std::string>& items) {
  ValList* list = new ValList;
  for (const std::string& s : items) list->Append(s.c_str());
  return list;
}

// Runs f, adding "Error in <where>" to the trace of an error passing through.
template <class F>
auto LdapTraced(const char* source, const char* where, F f) -> decltype(f()) {
  try {
    return f();
  } catch (ZaError* e) {
    e->AddLine(__LINE__, source, (std::string("Error in ") + where).c_str(), ZaFalse);
    throw;
  }
}

#endif
