// Scrambling of stored passwords.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "zacrypt.h"

namespace {

std::string Take(char* text) {
  std::unique_ptr<char, decltype(&free)> owned(text, &free);
  return text ? text : "(null)";
}

TEST(ZaCryptTest, ScrambledFormsWithTheDefaultKey) {
  ZaCrypt crypt;
  // Byte j of the 'p'-filled text XOR byte j mod 4 of "4826".
  struct { const char *text, *scrambled; } cases[] = {
      {"", ""}, {"abcd", "00555A5152"}, {"x", "034448424E"}, {"abcde", "0344484257565B5653"}};
  for (auto& c : cases) {
    EXPECT_EQ(Take(crypt.Encrypt(c.text)), c.scrambled) << c.text;
    EXPECT_EQ(Take(crypt.Decrypt(c.scrambled)), c.text) << c.scrambled;
  }
  EXPECT_EQ(Take(crypt.Decrypt("00555a5152")), "abcd");  // lower-case digits too
  EXPECT_EQ(Take(ZaCrypt("abcd").Encrypt("abcd")), "0000000000");
  for (const char* bad : {"   ", "005555555", "0", "0355", "09555A5152"})
    EXPECT_EQ(Take(crypt.Decrypt(bad)), "") << bad;
}

// Every length from 0 to 64 (bytes of 128 and above among plain ones), then
// every byte from 128 to 255 in texts of one to five bytes.
TEST(ZaCryptTest, EveryTextComesBack) {
  ZaCrypt crypt, other("k3y!");
  std::vector<std::string> texts;
  std::string text;
  for (int length = 0; length <= 64; length++) {
    texts.push_back(text);
    text += static_cast<char>(length % 2 ? 'a' + length % 26 : 0x80 + length * 9 % 128);
  }
  for (int byte = 128; byte < 256; byte++) texts.push_back(std::string(1 + byte % 5, static_cast<char>(byte)));
  for (const std::string& t : texts) {
    std::string scrambled = Take(crypt.Encrypt(t.c_str()));
    EXPECT_EQ(scrambled.size(), t.empty() ? 0 : 2 + 8 * ((t.size() + 3) / 4)) << t.size();
    EXPECT_EQ(Take(crypt.Decrypt(scrambled.c_str())), t) << t.size() << " bytes from " << int(t[0] & 0xFF);
    EXPECT_EQ(Take(other.Decrypt(Take(other.Encrypt(t.c_str())).c_str())), t) << t.size();
  }
}

TEST(ZaSimpleCryptTest, MapsEachCharacterToAPrintableOne) {
  EXPECT_EQ(Take(ZaSimpleCrypt("")), "");
  EXPECT_EQ(Take(ZaSimpleCrypt("A ~T")), "k+T!");
  std::string ascii;
  for (int c = 1; c < 128; c++) ascii += static_cast<char>(c);
  for (char c : Take(ZaSimpleCrypt(ascii.c_str()))) EXPECT_TRUE(c >= '!' && c <= '}') << static_cast<int>(c);
  EXPECT_EQ(Take(ZaSimpleCrypt(std::string(2000, 'A').c_str())), std::string(1023, 'k'));
}

}  // namespace
