// Small helpers shared by the SQL store's UserDB and GroupDB code: texts and
// lists in the store interfaces' forms, and error tracing.
#ifndef SQLSUPPORT_H
#define SQLSUPPORT_H

#include <cstring>
#include <string>
#include <vector>

#include "sqlconn.h"
#include "vallist.h"
#include "zaerror.h"

inline std::string SqlArg(const char* s) { return s ? s : ""; }
inline ZaBoolean SqlYes(bool b) { return b ? ZaTrue : ZaFalse; }

// Column 0 of every row as a new list (caller deletes).
inline ValList* SqlColumnList(const SqlResult& r) {
  ValList* list = new ValList;
  for (int i = 0; i < r.Rows(); ++i) list->Append(r.Text(i, 0));
  return list;
}

// Columns 0 and 1 (and 2 as extra1 when `withExtra`) of every row as a new list.
inline ValNameList* SqlPairList(const SqlResult& r, bool withExtra = false) {
  ValNameList* list = new ValNameList;
  for (int i = 0; i < r.Rows(); ++i) list->Append(r.Text(i, 0), r.Text(i, 1), withExtra ? r.Text(i, 2) : nullptr);
  return list;
}

// Column 0 of the first row as a malloc text, or null without a row or value.
inline char* SqlFirstText(const SqlResult& r) {
  return r.Rows() > 0 && !r.IsNull(0, 0) ? strdup(r.Text(0, 0)) : nullptr;
}

// The ID as compared: ASCII letters in lower case, as SQL's lower() does
// for the IDs the stores accept.
inline std::string SqlLower(std::string id) {
  for (char& c : id)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return id;
}

// The values of a list, once each (compared without regard to letter case).
std::vector<std::string> SqlDistinctIds(ValList* ids);

// Runs an operation, naming it in the trace of an error passing through.
template <class F>
auto SqlTraced(const char* source, const char* where, F f) -> decltype(f()) {
  try {
    return f();
  } catch (ZaError* e) {
    e->AddLine(__LINE__, source, (std::string("Error in ") + where).c_str(), ZaFalse);
    throw;
  }
}

#endif
