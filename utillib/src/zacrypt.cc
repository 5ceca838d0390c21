// Reversible scrambling of stored passwords and the one-way character scrambler.
#include "zacrypt.h"

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "stringutil.h"

namespace {

const char kDefaultKey[] = "4826";

// Words hold bytes in memory order, so XOR-ing a word with the key equals
// XOR-ing byte j of the data with byte j mod 4 of the key text.
std::vector<unsigned int> ToWords(const std::string& bytes) {
  std::vector<unsigned int> words(bytes.size() / 4);
  memcpy(words.data(), bytes.data(), words.size() * 4);
  return words;
}

}  // namespace

ZaCrypt::ZaCrypt(const char* keyText) {
  if (!keyText) keyText = kDefaultKey;
  // A key text shorter than four bytes is filled up with zero bytes rather than
  // read past its end.
  unsigned char bytes[4] = {0, 0, 0, 0};
  for (int i = 0; i < 4 && keyText[i]; i++) bytes[i] = static_cast<unsigned char>(keyText[i]);
  memcpy(&key, bytes, sizeof key);
}

void ZaCrypt::crypt(const unsigned int* in, unsigned int* out, int words) const {
  for (int i = 0; i < words; i++) out[i] = in[i] ^ key;
}

char* ZaCrypt::Encrypt(const char* text) const {
  if (!text || !*text) return strdup("");
  size_t length = strlen(text);
  int pad = static_cast<int>((4 - length % 4) % 4);
  std::vector<unsigned int> words = ToWords(std::string(pad, 'p') + text);
  crypt(words.data(), words.data(), static_cast<int>(words.size()));

  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(words.data());
  size_t count = words.size() * 4;
  std::string out = "0";
  out += static_cast<char>('0' + pad);
  for (size_t i = 0; i < count; i++) {
    out += hex[bytes[i] >> 4];
    out += hex[bytes[i] & 0x0F];
  }
  return strdup(out.c_str());
}

char* ZaCrypt::Decrypt(const char* scrambled) const {
  if (StringIsEmpty(scrambled) == ZaTrue) return strdup("");
  size_t length = strlen(scrambled);
  if (length < 2 || (length - 2) % 8 != 0) return strdup("");

  size_t count = (length - 2) / 2;
  std::string bytes(count + 1, '\0');  // Convert ends its output with a NUL
  int pad = Convert(scrambled, &bytes[0]);
  bytes.resize(count);
  std::vector<unsigned int> words = ToWords(bytes);
  crypt(words.data(), words.data(), static_cast<int>(words.size()));

  if (pad < 0 || static_cast<size_t>(pad) > count) return strdup("");
  const char* plain = reinterpret_cast<const char*>(words.data()) + pad;
  size_t plainLength = count - pad;
  char* out = static_cast<char*>(malloc(plainLength + 1));
  memcpy(out, plain, plainLength);
  out[plainLength] = '\0';
  return out;
}

char* ZaSimpleCrypt(const char* text) {
  if (!text) return strdup("");
  // Texts longer than the scrambler's limit are cut to its first 1023 characters.
  size_t length = strnlen(text, 1023);
  char* out = static_cast<char*>(malloc(length + 1));
  for (size_t i = 0; i < length; i++) {
    int c = static_cast<signed char>(text[i]);
    int scrambled = (c ^ 0x2A) % 126;  // C++ keeps the sign of the dividend
    if (scrambled < 33) scrambled += 33;
    out[i] = static_cast<char>(scrambled);
  }
  out[length] = '\0';
  return out;
}
