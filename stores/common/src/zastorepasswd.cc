#include "zastorepasswd.h"

#include <crypt.h>

#include <cstring>
#include <memory>

#include "zastorelimits.h"

static const char kSource[] = "stores/common/src/zastorepasswd";

std::string ZaHashPassword(const std::string& password) {
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  // A null random-bytes argument makes libcrypt draw the salt from the
  // system's entropy source.
  if (!crypt_gensalt_rn("$y$", 0, nullptr, 0, setting, sizeof setting) &&
      !crypt_gensalt_rn("$6$", 0, nullptr, 0, setting, sizeof setting))
    ZaStoreFail(__LINE__, kSource, "Unable to make a password salt");
  std::unique_ptr<crypt_data> data(new crypt_data());
  const char* hash = crypt_r(password.c_str(), setting, data.get());
  if (!hash || hash[0] == '*') ZaStoreFail(__LINE__, kSource, "Unable to hash a password");
  return hash;
}

bool ZaPasswordMatches(const std::string& password, const std::string& hash) {
  if (hash.empty() || hash[0] == '*') return false;
  std::unique_ptr<crypt_data> data(new crypt_data());
  const char* again = crypt_r(password.c_str(), hash.c_str(), data.get());
  if (!again || strlen(again) != hash.size()) return false;
  unsigned char diff = 0;  // compares every byte, so timing tells nothing
  for (size_t i = 0; i < hash.size(); ++i) diff |= static_cast<unsigned char>(again[i] ^ hash[i]);
  return diff == 0;
}
