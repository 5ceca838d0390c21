// Input limits and password hashes shared by every store.
#include <gtest/gtest.h>

#include "zaerror.h"
#include "zastorelimits.h"
#include "zastorepasswd.h"

namespace {

// The user message of the level-4 error f raises, or "" when it raises none.
template <class F>
std::string Refusal(F f) {
  try {
    f();
  } catch (ZaError* e) {
    std::string said = e->level == 4 && e->userMessages.head ? e->userMessages.head->value : "wrong error";
    delete e;
    return said;
  }
  return "";
}

TEST(StoreLimits, TextsAndIds) {
  struct Case {
    std::string text;
    size_t limit;
    const char* refusal;
  } texts[] = {
      {std::string(256, 'x'), kZaStoreMaxName, ""},
      {std::string(257, 'x'), kZaStoreMaxName, "the name is longer than 256 bytes"},
      {std::string(4096, 'x'), kZaStoreMaxDescription, ""},
      {std::string(4097, 'x'), kZaStoreMaxDescription, "the name is longer than 4096 bytes"},
      {"Ann\nX-EVIL:1", kZaStoreMaxName, "the name must not hold control characters"},
      {"tab\there", kZaStoreMaxName, "the name must not hold control characters"},
      {"del\x7f", kZaStoreMaxName, "the name must not hold control characters"},
      {"Zoë Ünal", kZaStoreMaxName, ""},
  };
  for (const Case& c : texts)
    EXPECT_EQ(c.refusal, Refusal([&] { ZaCheckStoreText(c.text, "the name", c.limit); })) << c.text.substr(0, 20);
  for (const char* good : {"ann", "A.b_c-d@e", "x"}) EXPECT_TRUE(ZaStoreValidId(good)) << good;
  for (const char* bad : {"", ".hidden", "a/b", "..", "a b", "ann\n"}) EXPECT_FALSE(ZaStoreValidId(bad)) << bad;
  EXPECT_TRUE(ZaStoreValidId(std::string(64, 'a')));
  EXPECT_FALSE(ZaStoreValidId(std::string(65, 'a')));
}

TEST(StorePasswords, SaltedHashesCheckedExactly) {
  std::string hash = ZaHashPassword("s3cret");
  EXPECT_TRUE(hash.rfind("$y$", 0) == 0 || hash.rfind("$6$", 0) == 0) << hash;
  EXPECT_NE(hash, ZaHashPassword("s3cret"));  // fresh salt each time
  EXPECT_TRUE(ZaPasswordMatches("s3cret", hash));
  for (const char* wrong : {"s3cret ", "S3cret", "", "s3cre"}) EXPECT_FALSE(ZaPasswordMatches(wrong, hash)) << wrong;
  EXPECT_FALSE(ZaPasswordMatches("", ""));
  EXPECT_FALSE(ZaPasswordMatches("x", "*" + hash));
}

}  // namespace
