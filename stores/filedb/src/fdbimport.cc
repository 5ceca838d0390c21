// The one-time move of a data folder that still holds the older text tables
// (people.vcf with accounts.tab, groups.tab, hotlists.tab, prefs.tab,
// usage.tab and documents/<gid>.lst) into the database. It runs inside the
// transaction that sets the database up, so it is done wholly or not at all;
// once that is committed, the old files move to a dated backup folder (the
// database counts from then on, whether or not they could be moved). Passwords keep their
// hashes, so old passwords still work.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "fdbsqlite.h"
#include "fdbstore.h"
#include "fdbstore_internal.h"
#include "vcard.h"
#include "versit.h"
#include "zadate.h"
#include "zadocument.h"
#include "zafile.h"
#include "zastorelimits.h"
#include "zastoresql.h"

static const char kSource[] = "stores/filedb/src/fdbimport";

typedef ZaSqlStatements Sql;

namespace {

const char* const kOldFiles[] = {"people.vcf", "people.idx", "people.tab", "accounts.tab", "groups.tab",
                                 "hotlists.tab", "prefs.tab", "usage.tab", "filedb.lst"};

std::string Unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    char c = field[i];
    if (c != '\\' || i + 1 == field.size()) {
      out += c;
      continue;
    }
    char n = field[++i];
    out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
  }
  return out;
}

// Rows of an old table: a header line "#zafiledb NAME 1", then one record per
// line with tab-separated, escaped fields, padded to `width`.
std::vector<std::vector<std::string>> OldTable(const std::string& dir, const char* name, size_t width) {
  std::vector<std::vector<std::string>> rows;
  std::string path = dir + "/" + name + ".tab";
  std::ifstream in(path);
  if (!in) return rows;
  std::string line;
  if (!std::getline(in, line) || line != std::string("#zafiledb ") + name + " 1")
    ZaStoreFail(__LINE__, kSource, "Not a " + std::string(name) + " table: " + path, 3);
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<std::string> row;
    std::stringstream fields(line);
    std::string field;
    while (std::getline(fields, field, '\t')) row.push_back(Unescape(field));
    row.resize(width);
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> SplitMembers(const std::string& list) {
  std::vector<std::string> members;
  std::stringstream in(list);
  std::string m;
  while (std::getline(in, m, ','))
    if (!m.empty()) members.push_back(m);
  return members;
}

}  // namespace

bool FileDirStore::ImportOldTables(std::string* said) {
  if (ZaCheckIfFile((dir + "/people.vcf").c_str()) != ZaTrue &&
      ZaCheckIfFile((dir + "/accounts.tab").c_str()) != ZaTrue)
    return false;
  FdbDatabase& d = *db;
  long people = 0, accounts = 0, groups = 0;

  VersitFile cards;
  if (ZaCheckIfFile((dir + "/people.vcf").c_str()) == ZaTrue) {
    if (cards.Open((dir + "/people.vcf").c_str(), ZaTrue) != ZaTrue)
      ZaStoreFail(__LINE__, kSource, "Unable to read " + dir + "/people.vcf", 3);
    while (VCard* read = cards.GetVCardFromFile()) {
      std::unique_ptr<VCard> card(read);
      FdbInsertCard(d, card.get());
      ++people;
    }
  }
  for (const auto& row : OldTable(dir, "accounts", 6)) {
    const std::string& name = row[4];
    FdbQuery(d, Sql::kAddAccount).Bind(ZaStoreKey(row[0])).Bind(row[0]).Bind(ZaStoreKey(row[1])).Bind(row[1])
        .Bind(row[3]).Bind(row[2] == "1" ? 1 : 0).Bind(name).Bind(FdbSortKey(name)).Run();
    FdbQuery(d, Sql::kNoteLogin).Bind(ZaStoreKey(row[0])).Bind(atoll(row[5].c_str())).Run();
    ++accounts;
  }
  for (const auto& row : OldTable(dir, "groups", 5)) {
    std::string key = ZaStoreKey(row[0]);
    FdbQuery(d, Sql::kAddGroup).Bind(key).Bind(row[0]).Bind(row[1]).Bind(FdbSortKey(row[1]))
        .Bind(ZaStoreKey(row[2])).Bind(row[2]).Bind(row[3] == "1" ? 1 : 0).Run();
    for (const std::string& m : SplitMembers(row[4]))
      FdbQuery(d, Sql::kAddMember).Bind(key).Bind(ZaStoreKey(m)).Bind(m).Run();
    // The document list, oldest record last in the file as the list wrote it.
    std::string path = dir + "/documents/" + key + ".lst";
    ZaDocumentObjList docs;
    docs.Read(&path[0]);
    std::vector<ZaDocumentObj*> records;
    for (ZaDocumentObj* r = docs.head; r; r = r->next) records.push_back(r);
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
      ZaDocumentObj* doc = *r;
      std::string docName = doc->name ? doc->name : "";
      char* created = doc->created ? doc->created->VersitStyleString() : nullptr;
      std::string when = created ? created : "";
      free(created);
      FdbQuery(d, Sql::kAddDocument).Bind(key).Bind(FdbSortKey(docName)).Bind(docName)
          .Bind(doc->description ? doc->description : "").Bind(doc->owner ? doc->owner : "").Bind(when).Run();
    }
    ++groups;
  }
  for (const auto& row : OldTable(dir, "hotlists", 3))
    FdbQuery(d, Sql::kAddHotlist).Bind(ZaStoreKey(row[0]))
        .Bind(static_cast<long long>(row[1] == "group" ? kFdbHotlistGroup : kFdbHotlistPerson))
        .Bind(ZaStoreKey(row[2])).Bind(row[2]).Run();
  for (const auto& row : OldTable(dir, "prefs", 3))
    FdbQuery(d, Sql::kAddPreference).Bind(ZaStoreKey(row[0])).Bind(ZaStoreKey(row[1])).Bind(row[1]).Bind(row[2]).Run();
  for (const auto& row : OldTable(dir, "usage", 4))
    FdbQuery(d, row[0] == "group" ? Sql::kSetGroupUsage : Sql::kSetUserUsage).Bind(ZaStoreKey(row[1]))
        .Bind(atoll(row[2].c_str())).Run();

  *said = "moved " + std::to_string(people) + " people, " + std::to_string(accounts) + " accounts and " +
          std::to_string(groups) + " groups from the text tables into the database";
  return true;
}

std::string FdbMoveOldTables(const std::string& dir) {
  char stamp[32];
  time_t now = time(nullptr);
  struct tm local;
  strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", localtime_r(&now, &local));
  std::string backup = dir + "/text-tables-" + stamp;
  if (ZaMkdir(backup.c_str(), 0700, ZaTrue) != ZaTrue) return "";
  std::vector<std::string> names;
  for (const char* name : kOldFiles) {
    names.push_back(name);
    names.push_back(std::string(name) + ".lck");
  }
  names.push_back("documents");
  for (const std::string& name : names) {
    std::string from = dir + "/" + name;
    if (access(from.c_str(), F_OK) == 0 && rename(from.c_str(), (backup + "/" + name).c_str()) != 0) return "";
  }
  return backup;
}
