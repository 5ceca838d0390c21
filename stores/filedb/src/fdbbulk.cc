// Filling an empty store in one go: one transaction, each statement prepared
// once, so that a directory of a hundred thousand people is made in seconds.
#include <map>

#include "fdbsqlite.h"
#include "fdbstore.h"
#include "fdbstore_internal.h"
#include "vcard.h"
#include "zadate.h"
#include "zafile.h"
#include "zastorefolders.h"
#include "zastorelimits.h"
#include "zastoresql.h"

static const char kSource[] = "stores/filedb/src/fdbbulk";

typedef ZaSqlStatements Sql;

static long long Count(FdbDatabase& db, const char* sql) {
  FdbQuery q(db, sql);
  return q.Next() ? q.Number(0) : 0;
}

void FileDirStore::BulkLoad(ZaStoreBulkData* data) {
  if (!IsInitialised()) ZaStoreRefuse(__LINE__, kSource, "The store in " + dir + " is not initialised");
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  if (Count(d, Sql::kCountPeople) || Count(d, Sql::kCountAccounts) || Count(d, "SELECT COUNT(*) FROM za_groups"))
    ZaStoreRefuse(__LINE__, kSource, "The store in " + dir + " is not empty");
  FdbCheckCards(d, &data->cards);
  std::map<std::string, std::string> names;  // by user key
  for (const auto& card : data->cards) {
    FdbInsertCard(d, card.get());
    names[ZaStoreKey(FdbCardValue(card.get(), VCardPropUid))] = FdbCardValue(card.get(), VCardPropFn);
  }

  // Data files first: the figures recorded below are their sizes.
  std::map<std::string, long long> bytes;  // by folder
  for (const ZaStoreAccount& a : data->accounts) bytes[UserFolder(a.uid)] += 0;
  for (const ZaStoreGroup& g : data->groups) bytes[GroupFolder(g.gid)] += 0;
  for (const auto& f : data->userFiles) bytes[UserFolder(f.first)] += f.second;
  for (const auto& f : data->groupFiles) bytes[GroupFolder(f.first)] += f.second;
  for (const auto& entry : bytes)
    if (ZaMkdir(entry.first.c_str(), 0755, ZaTrue) != ZaTrue)
      ZaStoreFail(__LINE__, kSource, "Unable to create the folder " + entry.first, 3);
  for (const auto& f : data->userFiles)
    if (!ZaStoreWriteDataFile(UserFolder(f.first), f.second))
      ZaStoreFail(__LINE__, kSource, "Unable to write a data file for " + f.first, 3);
  for (const auto& f : data->groupFiles)
    if (!ZaStoreWriteDataFile(GroupFolder(f.first), f.second))
      ZaStoreFail(__LINE__, kSource, "Unable to write a data file for " + f.first, 3);

  for (const ZaStoreAccount& a : data->accounts) {
    std::string key = ZaStoreKey(a.uid);
    auto known = names.find(key);
    std::string name = known != names.end() ? known->second : a.name;
    FdbQuery(d, Sql::kAddAccount).Bind(key).Bind(a.uid).Bind(ZaStoreKey(a.login)).Bind(a.login).Bind("")
        .Bind(a.admin ? 1 : 0).Bind(name).Bind(FdbSortKey(name)).Run();
    FdbQuery(d, Sql::kSetUserUsage).Bind(key).Bind(bytes[UserFolder(a.uid)]).Run();
  }
  for (const ZaStoreGroup& g : data->groups) {
    std::string key = ZaStoreKey(g.gid);
    ZaCheckStoreText(g.name, "the group name");
    FdbQuery(d, Sql::kAddGroup).Bind(key).Bind(g.gid).Bind(g.name).Bind(FdbSortKey(g.name))
        .Bind(ZaStoreKey(g.owner)).Bind(g.owner).Bind(g.shared ? 1 : 0).Run();
    FdbQuery(d, Sql::kSetGroupUsage).Bind(key).Bind(bytes[GroupFolder(g.gid)]).Run();
    FdbQuery(d, Sql::kAddMember).Bind(key).Bind(ZaStoreKey(g.owner)).Bind(g.owner).Run();
    for (const std::string& m : g.members) FdbQuery(d, Sql::kAddMember).Bind(key).Bind(ZaStoreKey(m)).Bind(m).Run();
  }
  ZaDate now;
  char* created = now.VersitStyleString();
  std::string when = created ? created : "";
  free(created);
  for (const auto& entry : data->documents) {
    const ZaStoreDocument& doc = entry.second;
    FdbQuery(d, Sql::kAddDocument).Bind(ZaStoreKey(entry.first)).Bind(FdbSortKey(doc.name)).Bind(doc.name)
        .Bind(doc.description).Bind(doc.owner).Bind(when).Run();
  }
  for (const auto& h : data->personHotlist)
    FdbQuery(d, Sql::kAddHotlist).Bind(ZaStoreKey(h.first)).Bind(static_cast<long long>(kFdbHotlistPerson))
        .Bind(ZaStoreKey(h.second)).Bind(h.second).Run();
  for (const auto& h : data->groupHotlist)
    FdbQuery(d, Sql::kAddHotlist).Bind(ZaStoreKey(h.first)).Bind(static_cast<long long>(kFdbHotlistGroup))
        .Bind(ZaStoreKey(h.second)).Bind(h.second).Run();
  for (const auto& s : data->styles)
    FdbQuery(d, Sql::kAddPreference).Bind(ZaStoreKey(s.first)).Bind("style").Bind("style").Bind(s.second).Run();
  change.Commit();
  data->cards.clear();
}
