// A generated directory that looks like a real one: people with names and
// addresses, accounts, shared and private groups of colleagues, documents,
// hotlists, styles, and data folders of varied sizes.
#include <memory>
#include <random>
#include <unordered_set>

#include "zastoreseed.h"
#include "vcard.h"

namespace {

const char* const kGiven[] = {"Ann", "Ben", "Carla", "David", "Eva", "Farid", "Grace", "Hugo", "Ines", "Jon",
                              "Kira", "Liam", "Maya", "Nils", "Olga", "Pedro", "Qin", "Rosa", "Sami", "Tara",
                              "Uwe", "Vera", "Wen", "Xavier", "Yara", "Zoltan"};
const char* const kFamily[] = {"Smith", "Lee", "Garcia", "Novak", "Okafor", "Tanaka", "Muller", "Rossi",
                               "Kowalski", "Haddad", "Silva", "Nguyen", "Andersen", "Dubois", "Ivanova",
                               "Khan", "Murphy", "Santos", "Weber", "Yilmaz"};
const char* const kTopics[] = {"Sales", "Research", "Support", "Finance", "Design", "Legal", "Marketing",
                               "Platform", "Hiring", "Security", "Training", "Facilities"};
const char* const kDocs[] = {"minutes", "plan", "budget", "roadmap", "report", "checklist", "notes"};

template <size_t N>
const char* Pick(std::mt19937_64& rng, const char* const (&words)[N]) {
  return words[rng() % N];
}

std::string Id(char prefix, long n) {
  char buf[32];
  snprintf(buf, sizeof buf, "%c%06ld", prefix, n);
  return buf;
}

// Data folder sizes: most small, a few large.
long long Bytes(std::mt19937_64& rng, long long largest) {
  std::uniform_real_distribution<double> u(0, 1);
  double x = u(rng);
  return static_cast<long long>(x * x * x * largest) + 1;
}

}  // namespace

void ZaStoreGenerate(long people, long groups, long nonCurrent, unsigned long seed, ZaStoreBulkData* out) {
  std::mt19937_64 rng(seed);
  // Account holders still in the directory, and those who left.
  std::vector<std::string> current, gone;
  for (long i = 1; i <= people + nonCurrent; ++i) {
    bool inDirectory = i <= people;
    // Every 25th person has no account yet, for account creation to work on.
    bool account = !inDirectory || i % 25 != 0;
    std::string uid = Id(inDirectory ? 'u' : 'x', i);
    std::string given = Pick(rng, kGiven), family = Pick(rng, kFamily);
    std::string login = given + "." + family + std::to_string(i);
    for (char& c : login) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    ZaStoreAccount holder;
    holder.uid = uid;
    holder.login = login;
    holder.admin = i == 1;
    holder.name = given + " " + family;
    if (account) {
      out->accounts.push_back(holder);
      if (rng() % 10 < 4) out->userFiles.emplace_back(uid, Bytes(rng, 8LL << 20));
      if (rng() % 5 == 0) out->styles.emplace_back(uid, "style" + std::to_string(rng() % 4));
      (inDirectory ? current : gone).push_back(uid);
    }
    if (!inDirectory) continue;
    std::unique_ptr<VCard> card(new VCard);
    card->AddEntry(VCardPropUid, uid.c_str());
    card->AddEntry(VCardPropFn, holder.name.c_str());
    card->AddEntry(VCardPropN, (family + ";" + given).c_str());
    card->AddEntry(VCardPropEmail, (login + "@example.com").c_str());
    card->AddEntry(VCardPropTitle, (std::string(Pick(rng, kTopics)) + " engineer").c_str());
    std::string phone = "+1 555 " + std::to_string(1000 + i % 9000);
    card->AddEntry((new VCardEntry(VCardPropTel, phone.c_str()))->AddSubType(VCardKindType, VCardTypeWork));
    out->cards.push_back(std::move(card));
  }
  for (long i = 1; i <= groups && current.size() >= 2; ++i) {
    ZaStoreGroup g;
    g.gid = Id('g', i);
    g.name = std::string(Pick(rng, kTopics)) + " team " + std::to_string(i);
    g.owner = current[rng() % current.size()];
    g.shared = rng() % 10 < 7;
    // Some shared groups belong to people who left, so that the clean-up
    // has groups to hand over.
    if (!gone.empty() && i % 10 == 3) {
      g.owner = gone[rng() % gone.size()];
      g.shared = true;
    }
    g.members.push_back(g.owner);
    std::unordered_set<std::string> in = {g.owner};
    for (long n = 1 + rng() % 10; n > 0; --n) {
      const std::string& m = current[rng() % current.size()];
      if (in.insert(m).second) g.members.push_back(m);
    }
    for (long d = rng() % 4; d > 0; --d) {
      ZaStoreDocument doc{std::string(Pick(rng, kDocs)) + "-" + std::to_string(d) + ".txt",
                      "The " + g.name + " " + Pick(rng, kDocs), g.members[rng() % g.members.size()]};
      out->documents.emplace_back(g.gid, doc);
    }
    if (rng() % 10 < 6) out->groupFiles.emplace_back(g.gid, Bytes(rng, 32LL << 20));
    out->groups.push_back(g);
  }
  for (const ZaStoreAccount& a : out->accounts) {
    std::unordered_set<std::string> seen;
    for (long n = rng() % 4; n > 0 && !current.empty(); --n) {
      const std::string& p = current[rng() % current.size()];
      if (seen.insert(p).second) out->personHotlist.emplace_back(a.uid, p);
    }
    for (long n = rng() % 3; n > 0 && !out->groups.empty(); --n) {
      const std::string& g = out->groups[rng() % out->groups.size()].gid;
      if (seen.insert(g).second) out->groupHotlist.emplace_back(a.uid, g);
    }
  }
}
