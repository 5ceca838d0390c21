// GroupDB over the SQL store. A group's record is read in one statement; a
// change that touches several rows runs in one transaction, with the group's
// row locked first so that concurrent changes of one group queue up.
#include <memory>
#include <unordered_set>

#include "sqlsupport.h"
#include "sqluserdb.h"
#include "zadate.h"
#include "zadocument.h"

static const char kSource[] = "stores/sqldb/src/sqlgroupdb";

template <class F>
static auto Traced(const char* where, F f) -> decltype(f()) {
  return SqlTraced(kSource, (std::string("ZaSqlGroupDB::") + where).c_str(), f);
}

ZaSqlGroupDB::ZaSqlGroupDB() = default;
ZaSqlGroupDB::~ZaSqlGroupDB() = default;

void ZaSqlGroupDB::OpenWith(const SqlSettings& settings) { store = SqlStore::Shared(settings); }

ZaBoolean ZaSqlGroupDB::Open(ZaConfigDB* config, int*) {
  return Traced("Open", [&] {
    OpenWith(SqlSettingsFrom(config));
    return ZaTrue;
  });
}

SqlStore& ZaSqlGroupDB::Store(const char* operation) {
  if (!store) SqlFail(__LINE__, kSource, std::string(operation) + " called before the store was opened");
  return *store;
}

char* ZaSqlGroupDB::GetGroupName(char* gid) {
  return Traced("GetGroupName", [&] {
    return SqlFirstText(Store("GetGroupName").Db().Run("SELECT name FROM za_groups WHERE lower(gid) = lower($1)",
                                                       {SqlArg(gid)}));
  });
}

void ZaSqlGroupDB::GetMembersOfGroups(ValList* gids, ValList* members) {
  Traced("GetMembersOfGroups", [&] {
    SqlConnection& db = Store("GetMembersOfGroups").Db();
    if (!members) return;
    SqlResult r = db.Run("SELECT m.uid FROM unnest($1::text[]) WITH ORDINALITY l(id, n) "
                         "JOIN za_groups g ON lower(g.gid) = lower(l.id) JOIN za_members m ON m.gid = g.gid "
                         "ORDER BY l.n, m.seq",
                         {SqlTextArray(SqlDistinctIds(gids))});
    std::unordered_set<std::string> listed;
    for (ValListItem* i = members->head; i; i = i->next)
      if (i->value) listed.insert(SqlLower(i->value));
    for (int i = 0; i < r.Rows(); ++i)
      if (listed.insert(SqlLower(r.Text(i, 0))).second) members->Append(r.Text(i, 0));
  });
}

ZaGroupRecord* ZaSqlGroupDB::GetGroup(char* gid) {
  return Traced("GetGroup", [&]() -> ZaGroupRecord* {
    SqlResult r = Store("GetGroup").Db().Run(
        "SELECT g.gid, g.owner, g.name, g.shared, m.uid FROM za_groups g "
        "LEFT JOIN za_members m ON m.gid = g.gid WHERE lower(g.gid) = lower($1) ORDER BY m.seq",
        {SqlArg(gid)});
    if (r.Rows() == 0) return nullptr;
    std::unique_ptr<ZaGroupRecord> record(new ZaGroupRecord);
    record->groupId = strdup(r.Text(0, 0));
    record->ownerId = strdup(r.Text(0, 1));
    record->groupName = strdup(r.Text(0, 2));
    record->shared = r.Flag(0, 3) ? 1 : 0;
    record->members = new ValList;
    for (int i = 0; i < r.Rows(); ++i)
      if (!r.IsNull(i, 4)) record->members->Append(r.Text(i, 4));
    return record.release();
  });
}

ValNameList* ZaSqlGroupDB::GetAllGroups() {
  return Traced("GetAllGroups", [&] {
    return SqlPairList(Store("GetAllGroups").Db().Run("SELECT gid, name FROM za_groups ORDER BY name, gid"));
  });
}

ZaBoolean ZaSqlGroupDB::DeleteGroup(char* gid, UserDB*, ZaBoolean) {
  return Traced("DeleteGroup", [&] {
    return SqlYes(Store("DeleteGroup").Db().Run("DELETE FROM za_groups WHERE lower(gid) = lower($1)",
                                                {SqlArg(gid)}).Changed() > 0);
  });
}

ZaDocumentObjList* ZaSqlGroupDB::GetGroupFiles(char* gid) {
  return Traced("GetGroupFiles", [&] {
    SqlResult r = Store("GetGroupFiles").Db().Run(
        "SELECT d.name, d.description, d.owner, to_char(d.created_at, 'YYYYMMDD\"T\"HH24MISS') "
        "FROM za_documents d JOIN za_groups g ON g.gid = d.gid WHERE lower(g.gid) = lower($1) ORDER BY d.seq DESC",
        {SqlArg(gid)});
    std::unique_ptr<ZaDocumentObjList> list(new ZaDocumentObjList);
    // Add puts each record in front: newest last in, so the oldest leads.
    for (int i = 0; i < r.Rows(); ++i) {
      ZaDocumentObj* doc = new ZaDocumentObj;
      list->Add(doc);
      doc->name = strdup(r.Text(i, 0));
      doc->description = strdup(r.Text(i, 1));
      doc->owner = strdup(r.Text(i, 2));
      doc->created = new ZaDate(r.Text(i, 3));
    }
    return list.release();
  });
}

ZaBoolean ZaSqlGroupDB::ChangeOwner(char* gid, char* newOwner, UserDB*) {
  return Traced("ChangeOwner", [&] {
    SqlConnection& db = Store("ChangeOwner").Db();
    SqlTransaction t(db);
    // The new owner must have an account; the owner is always a member.
    SqlResult changed = db.Run(
        "UPDATE za_groups g SET owner = a.uid FROM za_accounts a "
        "WHERE lower(g.gid) = lower($1) AND lower(a.uid) = lower($2) RETURNING g.gid, a.uid",
        {SqlArg(gid), SqlArg(newOwner)});
    if (changed.Rows() != 1) return ZaFalse;
    db.Run("INSERT INTO za_members (gid, uid) VALUES ($1, $2) ON CONFLICT DO NOTHING",
           {std::string(changed.Text(0, 0)), std::string(changed.Text(0, 1))});
    t.Commit();
    return ZaTrue;
  });
}

ZaBoolean ZaSqlGroupDB::RemoveMember(char* gid, char* uid, UserDB*) {
  return Traced("RemoveMember", [&] {
    SqlConnection& db = Store("RemoveMember").Db();
    SqlTransaction t(db);
    // The owner stays a member; ownership has to move first. The group's
    // row is locked so that an owner change cannot slip in between.
    SqlResult group = db.Run("SELECT gid, owner FROM za_groups WHERE lower(gid) = lower($1) FOR UPDATE", {SqlArg(gid)});
    if (group.Rows() != 1 || !strcasecmp(group.Text(0, 1), SqlArg(uid).c_str())) return ZaFalse;
    SqlResult removed = db.Run("DELETE FROM za_members WHERE gid = $1 AND lower(uid) = lower($2)",
                               {std::string(group.Text(0, 0)), SqlArg(uid)});
    t.Commit();
    return SqlYes(removed.Changed() > 0);
  });
}

ValList* ZaSqlGroupDB::GetGroupsOwnedBy(char* uid, UserDB*) {
  return Traced("GetGroupsOwnedBy", [&] {
    return SqlColumnList(Store("GetGroupsOwnedBy").Db().Run(
        "SELECT gid FROM za_groups WHERE lower(owner) = lower($1) ORDER BY gid", {SqlArg(uid)}));
  });
}

long ZaSqlGroupDB::GetGroupDiskUsage(char* gid) {
  return Traced("GetGroupDiskUsage", [&] {
    SqlResult r = Store("GetGroupDiskUsage").Db().Run("SELECT bytes FROM za_group_usage WHERE lower(gid) = lower($1)",
                                                      {SqlArg(gid)});
    return static_cast<long>(r.Rows() ? r.Number(0, 0) : 0);
  });
}

ValNameList* ZaSqlGroupDB::GetAllGroupsDiskUsage() {
  return Traced("GetAllGroupsDiskUsage", [&] {
    return SqlPairList(Store("GetAllGroupsDiskUsage").Db().Run(
                           "SELECT g.gid, g.name, coalesce(u.bytes, 0) AS bytes FROM za_groups g "
                           "LEFT JOIN za_group_usage u ON u.gid = g.gid ORDER BY bytes DESC, g.gid"),
                       true);
  });
}
