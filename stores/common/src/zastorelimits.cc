#include "zastorelimits.h"

#include <cctype>

#include "zaerror.h"

static const char kSource[] = "stores/common/src/zastorelimits";

bool ZaStoreValidId(const std::string& id) {
  if (id.empty() || id.size() > 64 || id[0] == '.') return false;
  for (unsigned char c : id)
    if (!isalnum(c) && c != '.' && c != '_' && c != '-' && c != '@') return false;
  return true;
}

std::string ZaStoreKey(const std::string& id) {
  std::string key = id;
  for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return key;
}

void ZaCheckStoreText(const std::string& text, const char* what, size_t limit) {
  if (text.size() > limit)
    ZaStoreRefuse(__LINE__, kSource, std::string(what) + " is longer than " + std::to_string(limit) + " bytes");
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f) ZaStoreRefuse(__LINE__, kSource, std::string(what) + " must not hold control characters");
}

void ZaCheckStoreId(const std::string& id, const char* what) {
  if (!ZaStoreValidId(id))
    ZaStoreRefuse(__LINE__, kSource, std::string("invalid ") + what + " \"" + id.substr(0, 80) +
                                         "\" (1 to 64 letters, digits, '.', '_', '-', '@')");
}

void ZaStoreRefuse(int line, const char* source, const std::string& message) {
  ZaError* e = new ZaError;
  e->level = 4;
  e->AddLine(line, source, message.c_str(), ZaTrue);
  throw e;
}

void ZaStoreFail(int line, const char* source, const std::string& message, int level) {
  ZaError* e = new ZaError;
  e->level = level;
  e->AddLine(line, source, message.c_str(), ZaFalse);
  throw e;
}
