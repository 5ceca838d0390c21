// Reversible scrambling of stored passwords into hexadecimal text with a fixed
// key (an obfuscation, not encryption), and a one-way character scrambler.
// Returned texts are malloc'ed and freed by the caller.
#ifndef ZACRYPT_H
#define ZACRYPT_H

class ZaCrypt {
 public:
  // The first four bytes of keyText form the key; null takes the default "4826".
  explicit ZaCrypt(const char* keyText = nullptr);
  ~ZaCrypt() {}

  // out[i] = in[i] XOR key for i < words.
  void crypt(const unsigned int* in, unsigned int* out, int words) const;
  // "0", the fill count, then two upper-case hex digits per scrambled byte.
  char* Encrypt(const char* text) const;
  // Inverse of Encrypt; "" for text that is not a scrambled form.
  char* Decrypt(const char* scrambled) const;

 private:
  unsigned int key;
};

// One-way: each character becomes a printable one; at most 1023 characters.
char* ZaSimpleCrypt(const char* text);

#endif
