// People: the vCard file "people.vcf", its card index "people.idx" (UID to
// byte offset, the versit index format, for the suite's directory searches)
// and the summary "people.tab" (UID, display name, e-mail, offset) that the
// listings read. The index and summary are written after the vCard file, and
// the summary's first row records which vCard file it describes (inode, size,
// modification time); a summary that describes another one is left over from
// an interrupted change and is ignored, and the cards are read instead.
// Comparing identities rather than modification times stays right on file
// systems whose clocks tick too coarsely to order two quick writes.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "fdblock.h"
#include "fdbstore.h"
#include "fdbstore_tables.h"
#include "versit.h"

static const char kSource[] = "stores/filedb/src/fdbpeople";

namespace {

std::string Path(const std::string& dir, const char* file) { return dir + "/" + file; }

std::string EntryValue(const VCard* card, int propId) {
  VCardEntry* e = card->GetEntry(propId);
  return e && e->value ? e->value : "";
}

std::string CardText(const VCard* card) {
  char* buf = nullptr;
  size_t len = 0;
  FILE* f = open_memstream(&buf, &len);
  if (!f) FdbFail(__LINE__, kSource, "Out of memory while writing a card");
  card->Print(f);
  fclose(f);
  std::string text(buf, len);
  free(buf);
  return text;
}

FdbPerson PersonOf(const VCard* card, long long offset) {
  FdbPerson p;
  p.uid = EntryValue(card, VCardPropUid);
  p.name = EntryValue(card, VCardPropFn);
  p.email = EntryValue(card, VCardPropEmail);
  p.offset = offset;
  return p;
}

// Every card of the vCard file, with its offset, in file order.
std::vector<FdbPerson> ScanCards(const std::string& vcfPath) {
  std::vector<FdbPerson> people;
  VersitFile file;
  if (file.Open(vcfPath.c_str(), ZaTrue) != ZaTrue) return people;
  for (;;) {
    long offset = file.GetVCardFileOffset();
    std::unique_ptr<VCard> card(file.GetVCardFromFile());
    if (!card) break;
    people.push_back(PersonOf(card.get(), offset));
  }
  return people;
}

}  // namespace

std::string FdbPeopleLock(const std::string& dir) { return Path(dir, kFdbPeopleFile) + ".lck"; }

// The summary's first row: an empty UID (no person has one), then the
// identity of the vCard file the summary was written for.
static FdbRecord StampRow(const FdbFileStamp& vcf) {
  return {"", std::to_string(vcf.inode), std::to_string(vcf.size), std::to_string(vcf.mtimeNs)};
}

void FdbLoadPeople(FdbPeopleCache& cache, const std::string& dir) {
  std::string vcf = Path(dir, kFdbPeopleFile), summary = Path(dir, kFdbPeopleSummary);
  FdbFileStamp now = FdbStampOf(vcf);
  if (!now.exists) FdbCheckReachable(dir);  // no people, unless the folder went away
  if (cache.loaded && now == cache.vcfStamp) return;
  cache.loaded = false;
  cache.list.clear();
  if (now.exists) {
    // The summary is only derived from the cards: when it cannot be read,
    // the cards themselves are.
    std::vector<FdbRecord> rows;
    try {
      rows = FdbReadRecords(summary, "people");
    } catch (ZaError* e) {
      delete e;
    }
    if (!rows.empty() && rows[0] == StampRow(now)) {
      cache.list.reserve(rows.size() - 1);
      for (size_t i = 1; i < rows.size(); ++i) {
        rows[i].resize(4);
        cache.list.push_back({rows[i][0], rows[i][1], rows[i][2], atoll(rows[i][3].c_str())});
      }
    } else {
      cache.list = ScanCards(vcf);
    }
  }
  cache.vcfStamp = now;
  cache.pinned.Pin(vcf);
  cache.loaded = true;
  cache.Reindex();
}

namespace {

// Writes the vCard file, then the index and the summary; caller holds the
// people lock exclusively.
void Save(FdbPeopleCache& cache, const std::string& dir, const std::string& cards) {
  cache.loaded = false;  // until all three files agree with the list
  FdbReplaceFile(Path(dir, kFdbPeopleFile), cards);
  FdbFileStamp vcf = FdbStampOf(Path(dir, kFdbPeopleFile));
  std::string index = "BEGIN:vNameList\n";
  std::vector<FdbRecord> rows;
  rows.reserve(cache.list.size() + 1);
  rows.push_back(StampRow(vcf));
  for (const FdbPerson& p : cache.list) {
    index += p.uid + ":" + std::to_string(p.offset) + "\n";
    rows.push_back({p.uid, p.name, p.email, std::to_string(p.offset)});
  }
  index += "END:vNameList\n";
  FdbReplaceFile(Path(dir, kFdbIndexFile), index);
  FdbReplaceFile(Path(dir, kFdbPeopleSummary), FdbFormatRecords("people", rows));
  cache.vcfStamp = vcf;
  cache.pinned.Pin(Path(dir, kFdbPeopleFile));
  cache.loaded = true;
  cache.Reindex();
}

[[noreturn]] void UserError(int line, const std::string& message) {
  ZaError* e = new ZaError;
  e->level = 4;
  e->AddLine(line, kSource, message.c_str(), ZaTrue);
  throw e;
}

// Gives the card the entries every person has: FN from N or N from FN.
void CompleteCard(VCard* card) {
  std::string fn = EntryValue(card, VCardPropFn), uid = EntryValue(card, VCardPropUid);
  VCardEntry* n = card->GetEntry(VCardPropN);
  if (fn.empty() && n && n->value) {
    char* formatted = n->FormatN();
    std::string name = formatted ? formatted : "";
    free(formatted);
    size_t a = name.find_first_not_of(' '), b = name.find_last_not_of(' ');
    fn = a == std::string::npos ? "" : name.substr(a, b - a + 1);
    if (!fn.empty()) card->AddEntry(VCardPropFn, fn.c_str());
  }
  if (fn.empty()) UserError(__LINE__, "The card of " + uid + " has no name");
  if (!n) {
    size_t space = fn.find_last_of(' ');
    std::string family = space == std::string::npos ? fn : fn.substr(space + 1);
    std::string given = space == std::string::npos ? "" : fn.substr(0, space);
    card->AddEntry(VCardPropN, (family + ";" + given).c_str());
  }
}

}  // namespace

bool FileDirStore::FindPerson(const std::string& uid, FdbPerson* out) {
  FdbLockGuard lock(FdbPeopleLock(dir), ZaSharedLock);
  FdbLoadPeople(tables->people, dir);
  auto it = tables->people.byUid.find(FdbKey(uid));
  if (it == tables->people.byUid.end()) return false;
  if (out) *out = tables->people.list[it->second];
  return true;
}

std::vector<FdbPerson> FileDirStore::People() {
  CheckReachable();
  FdbLockGuard lock(FdbPeopleLock(dir), ZaSharedLock);
  FdbLoadPeople(tables->people, dir);
  return tables->people.list;
}

VCard* FileDirStore::ReadCard(const std::string& uid) {
  CheckReachable();
  FdbLockGuard lock(FdbPeopleLock(dir), ZaSharedLock);
  FdbLoadPeople(tables->people, dir);
  auto it = tables->people.byUid.find(FdbKey(uid));
  if (it == tables->people.byUid.end()) return nullptr;
  VersitFile file;
  if (file.Open(Path(dir, kFdbPeopleFile).c_str(), ZaTrue) != ZaTrue)
    FdbFail(__LINE__, kSource, "Unable to open the people file in " + dir, 3);
  file.PositionVCardFile(tables->people.list[it->second].offset);
  std::unique_ptr<VCard> card(file.GetVCardFromFile());
  if (!card || FdbKey(EntryValue(card.get(), VCardPropUid)) != FdbKey(uid)) return nullptr;
  return card.release();
}

void FileDirStore::AddPeople(std::vector<std::unique_ptr<VCard>>* cards) {
  CheckReachable();
  FdbLockGuard lock(FdbPeopleLock(dir), ZaExclusiveLock);
  FdbAppendCards(tables->people, dir, cards);
}

void FdbAppendCards(FdbPeopleCache& people, const std::string& dir, std::vector<std::unique_ptr<VCard>>* cards) {
  FdbLoadPeople(people, dir);
  std::unordered_set<std::string> seen;
  for (auto& card : *cards) {
    std::string uid = EntryValue(card.get(), VCardPropUid);
    if (!FdbValidId(uid)) UserError(__LINE__, "Invalid or missing UID \"" + uid + "\" on a card");
    std::string key = FdbKey(uid);
    if (people.byUid.count(key) || !seen.insert(key).second)
      UserError(__LINE__, "The directory already holds a person with the UID " + uid);
    CompleteCard(card.get());
  }
  std::string text;
  if (!FdbReadWholeFile(Path(dir, kFdbPeopleFile), &text) && errno != ENOENT)
    FdbFail(__LINE__, kSource, "Unable to read the people file in " + dir, 3);
  size_t before = people.list.size();
  for (auto& card : *cards) {
    people.list.push_back(PersonOf(card.get(), static_cast<long long>(text.size())));
    text += CardText(card.get());
  }
  try {
    Save(people, dir, text);
  } catch (ZaError*) {
    people.list.resize(before);
    throw;
  }
  cards->clear();
}

bool FileDirStore::RemovePerson(const std::string& uid) {
  CheckReachable();
  FdbLockGuard peopleLock(FdbPeopleLock(dir), ZaExclusiveLock);
  FdbLockGuard accountLock(tables->accounts.LockFile(), ZaExclusiveLock);
  FdbPeopleCache& people = tables->people;
  FdbLoadPeople(people, dir);
  auto it = people.byUid.find(FdbKey(uid));
  if (it == people.byUid.end()) return false;
  size_t victim = it->second;
  std::string text;
  if (!FdbReadWholeFile(Path(dir, kFdbPeopleFile), &text))
    FdbFail(__LINE__, kSource, "Unable to read the people file in " + dir, 3);
  long long start = people.list[victim].offset, end = static_cast<long long>(text.size());
  for (const FdbPerson& p : people.list)
    if (p.offset > start && p.offset < end) end = p.offset;
  // The account keeps the name, since the directory will no longer know it.
  FdbAccountTable& accounts = tables->accounts;
  accounts.Refresh();
  auto acc = accounts.byUid.find(FdbKey(uid));
  if (acc != accounts.byUid.end()) {
    accounts.rows[acc->second][4] = people.list[victim].name;
    accounts.Save();
  }
  std::vector<FdbPerson> kept;
  kept.reserve(people.list.size());
  for (size_t i = 0; i < people.list.size(); ++i) {
    if (i == victim) continue;
    FdbPerson p = people.list[i];
    if (p.offset > start) p.offset -= end - start;
    kept.push_back(p);
  }
  people.list.swap(kept);
  Save(people, dir, text.erase(start, end - start));
  return true;
}
