#include "zastoresql.h"

const char* const kZaSqlSchema[] = {
    "CREATE TABLE IF NOT EXISTS za_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS za_people (uid_key TEXT PRIMARY KEY, uid TEXT NOT NULL, name TEXT NOT NULL,"
    " email TEXT NOT NULL, sort_key TEXT NOT NULL, card TEXT NOT NULL, seq BIGINT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS za_people_by_name ON za_people (sort_key, uid_key)",
    "CREATE INDEX IF NOT EXISTS za_people_by_seq ON za_people (seq)",
    "CREATE TABLE IF NOT EXISTS za_accounts (uid_key TEXT PRIMARY KEY, uid TEXT NOT NULL,"
    " login_key TEXT NOT NULL UNIQUE, login TEXT NOT NULL, hash TEXT NOT NULL, admin INTEGER NOT NULL,"
    " last_login BIGINT NOT NULL, name TEXT NOT NULL, sort_key TEXT NOT NULL, bytes BIGINT NOT NULL,"
    " seq BIGINT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS za_accounts_by_seq ON za_accounts (seq)",
    "CREATE INDEX IF NOT EXISTS za_accounts_by_usage ON za_accounts (bytes DESC, seq)",
    "CREATE INDEX IF NOT EXISTS za_accounts_by_name ON za_accounts (sort_key, uid_key)",
    "CREATE TABLE IF NOT EXISTS za_groups (gid_key TEXT PRIMARY KEY, gid TEXT NOT NULL, name TEXT NOT NULL,"
    " sort_key TEXT NOT NULL, owner_key TEXT NOT NULL, owner TEXT NOT NULL, shared INTEGER NOT NULL,"
    " bytes BIGINT NOT NULL, seq BIGINT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS za_groups_by_owner ON za_groups (owner_key, seq)",
    "CREATE INDEX IF NOT EXISTS za_groups_by_seq ON za_groups (seq)",
    "CREATE INDEX IF NOT EXISTS za_groups_by_usage ON za_groups (bytes DESC, seq)",
    "CREATE INDEX IF NOT EXISTS za_groups_by_name ON za_groups (sort_key, gid_key)",
    "CREATE TABLE IF NOT EXISTS za_members (gid_key TEXT NOT NULL REFERENCES za_groups (gid_key) ON DELETE CASCADE,"
    " uid_key TEXT NOT NULL, uid TEXT NOT NULL, seq BIGINT NOT NULL, PRIMARY KEY (gid_key, uid_key))",
    "CREATE INDEX IF NOT EXISTS za_members_by_user ON za_members (uid_key, gid_key)",
    "CREATE INDEX IF NOT EXISTS za_members_by_seq ON za_members (seq)",
    "CREATE TABLE IF NOT EXISTS za_documents (gid_key TEXT NOT NULL REFERENCES za_groups (gid_key) ON DELETE CASCADE,"
    " name_key TEXT NOT NULL, name TEXT NOT NULL, description TEXT NOT NULL, owner TEXT NOT NULL,"
    " created TEXT NOT NULL, seq BIGINT NOT NULL, PRIMARY KEY (gid_key, name_key))",
    "CREATE INDEX IF NOT EXISTS za_documents_by_seq ON za_documents (seq)",
    "CREATE TABLE IF NOT EXISTS za_hotlists (uid_key TEXT NOT NULL, kind INTEGER NOT NULL, target_key TEXT NOT NULL,"
    " target TEXT NOT NULL, seq BIGINT NOT NULL, PRIMARY KEY (uid_key, kind, target_key))",
    "CREATE INDEX IF NOT EXISTS za_hotlists_by_target ON za_hotlists (kind, target_key)",
    "CREATE INDEX IF NOT EXISTS za_hotlists_by_seq ON za_hotlists (seq)",
    "CREATE TABLE IF NOT EXISTS za_preferences (uid_key TEXT NOT NULL, name_key TEXT NOT NULL, name TEXT NOT NULL,"
    " value TEXT NOT NULL, PRIMARY KEY (uid_key, name_key))",
};
const int kZaSqlSchemaCount = sizeof kZaSqlSchema / sizeof kZaSqlSchema[0];

#define NEXT_SEQ(table) "(SELECT COALESCE(MAX(seq), 0) + 1 FROM " table ")"

const char ZaSqlStatements::kGetMeta[] = "SELECT value FROM za_meta WHERE name = $1";
const char ZaSqlStatements::kPutMeta[] =
    "INSERT INTO za_meta (name, value) VALUES ($1, $2) ON CONFLICT (name) DO UPDATE SET value = excluded.value";

const char ZaSqlStatements::kFindPerson[] = "SELECT uid, name, email FROM za_people WHERE uid_key = $1";
const char ZaSqlStatements::kCard[] = "SELECT card FROM za_people WHERE uid_key = $1";
const char ZaSqlStatements::kPeople[] = "SELECT uid, name, email FROM za_people ORDER BY seq";
const char ZaSqlStatements::kPeopleByName[] = "SELECT uid, name FROM za_people ORDER BY sort_key, uid_key";
const char ZaSqlStatements::kAddPerson[] =
    "INSERT INTO za_people (uid_key, uid, name, email, sort_key, card, seq)"
    " VALUES ($1, $2, $3, $4, $5, $6, " NEXT_SEQ("za_people") ")";
const char ZaSqlStatements::kRemovePerson[] = "DELETE FROM za_people WHERE uid_key = $1";
const char ZaSqlStatements::kCountPeople[] = "SELECT COUNT(*) FROM za_people";

const char ZaSqlStatements::kFindAccount[] =
    "SELECT uid, login, hash, admin, last_login, name FROM za_accounts WHERE uid_key = $1";
const char ZaSqlStatements::kFindLogin[] = "SELECT uid FROM za_accounts WHERE login_key = $1";
const char ZaSqlStatements::kAccounts[] =
    "SELECT a.uid, a.login, a.admin, a.last_login, COALESCE(p.name, a.name), p.uid_key IS NOT NULL"
    " FROM za_accounts a LEFT JOIN za_people p ON p.uid_key = a.uid_key ORDER BY a.seq";
const char ZaSqlStatements::kAccountNames[] =
    "SELECT a.uid, COALESCE(p.name, a.name) FROM za_accounts a LEFT JOIN za_people p ON p.uid_key = a.uid_key"
    " ORDER BY COALESCE(p.sort_key, a.sort_key), a.uid_key";
const char ZaSqlStatements::kAddAccount[] =
    "INSERT INTO za_accounts (uid_key, uid, login_key, login, hash, admin, last_login, name, sort_key, bytes, seq)"
    " VALUES ($1, $2, $3, $4, $5, $6, 0, $7, $8, 0, " NEXT_SEQ("za_accounts") ")";
const char ZaSqlStatements::kSetHash[] = "UPDATE za_accounts SET hash = $2 WHERE uid_key = $1";
const char ZaSqlStatements::kNoteLogin[] = "UPDATE za_accounts SET last_login = $2 WHERE uid_key = $1";
const char ZaSqlStatements::kDeleteAccount[] = "DELETE FROM za_accounts WHERE uid_key = $1";
const char ZaSqlStatements::kNonCurrent[] =
    "SELECT a.uid, a.name FROM za_accounts a WHERE NOT EXISTS"
    " (SELECT 1 FROM za_people p WHERE p.uid_key = a.uid_key) ORDER BY a.sort_key, a.uid_key";
const char ZaSqlStatements::kCountAccounts[] = "SELECT COUNT(*) FROM za_accounts";

const char ZaSqlStatements::kFindGroup[] = "SELECT gid, name, owner, shared FROM za_groups WHERE gid_key = $1";
const char ZaSqlStatements::kGroups[] = "SELECT gid, name, owner, shared FROM za_groups ORDER BY seq";
const char ZaSqlStatements::kGroupNames[] = "SELECT gid, name FROM za_groups ORDER BY sort_key, gid_key";
const char ZaSqlStatements::kAddGroup[] =
    "INSERT INTO za_groups (gid_key, gid, name, sort_key, owner_key, owner, shared, bytes, seq)"
    " VALUES ($1, $2, $3, $4, $5, $6, $7, 0, " NEXT_SEQ("za_groups") ")";
const char ZaSqlStatements::kDeleteGroup[] = "DELETE FROM za_groups WHERE gid_key = $1";
const char ZaSqlStatements::kChangeOwner[] = "UPDATE za_groups SET owner_key = $2, owner = $3 WHERE gid_key = $1";
const char ZaSqlStatements::kGroupsOwnedBy[] = "SELECT gid FROM za_groups WHERE owner_key = $1 ORDER BY seq";
const char ZaSqlStatements::kMembers[] = "SELECT uid FROM za_members WHERE gid_key = $1 ORDER BY seq";
const char ZaSqlStatements::kAllMembers[] = "SELECT gid_key, uid FROM za_members ORDER BY gid_key, seq";
const char ZaSqlStatements::kGroupsOfUser[] =
    "SELECT g.gid FROM za_members m JOIN za_groups g ON g.gid_key = m.gid_key WHERE m.uid_key = $1 ORDER BY g.seq";
const char ZaSqlStatements::kIsMember[] = "SELECT 1 FROM za_members WHERE gid_key = $1 AND uid_key = $2";
const char ZaSqlStatements::kAddMember[] =
    "INSERT INTO za_members (gid_key, uid_key, uid, seq) VALUES ($1, $2, $3, " NEXT_SEQ("za_members") ")"
    " ON CONFLICT (gid_key, uid_key) DO NOTHING";
const char ZaSqlStatements::kRemoveMember[] = "DELETE FROM za_members WHERE gid_key = $1 AND uid_key = $2";
const char ZaSqlStatements::kRemoveUserFromGroups[] = "DELETE FROM za_members WHERE uid_key = $1";

const char ZaSqlStatements::kDocuments[] =
    "SELECT name, description, owner, created FROM za_documents WHERE gid_key = $1 ORDER BY seq";
const char ZaSqlStatements::kFindDocument[] = "SELECT 1 FROM za_documents WHERE gid_key = $1 AND name_key = $2";
const char ZaSqlStatements::kAddDocument[] =
    "INSERT INTO za_documents (gid_key, name_key, name, description, owner, created, seq)"
    " VALUES ($1, $2, $3, $4, $5, $6, " NEXT_SEQ("za_documents") ")";

const char ZaSqlStatements::kHotlist[] =
    "SELECT target FROM za_hotlists WHERE uid_key = $1 AND kind = $2 ORDER BY seq";
const char ZaSqlStatements::kInHotlist[] =
    "SELECT 1 FROM za_hotlists WHERE uid_key = $1 AND kind = $2 AND target_key = $3";
const char ZaSqlStatements::kAddHotlist[] =
    "INSERT INTO za_hotlists (uid_key, kind, target_key, target, seq) VALUES ($1, $2, $3, $4, "
    NEXT_SEQ("za_hotlists") ") ON CONFLICT (uid_key, kind, target_key) DO NOTHING";
const char ZaSqlStatements::kDropHotlistsOf[] = "DELETE FROM za_hotlists WHERE uid_key = $1";
const char ZaSqlStatements::kDropTarget[] = "DELETE FROM za_hotlists WHERE kind = $1 AND target_key = $2";
const char ZaSqlStatements::kPreferences[] = "SELECT name, value FROM za_preferences WHERE uid_key = $1 ORDER BY name_key";
const char ZaSqlStatements::kDropPreference[] = "DELETE FROM za_preferences WHERE uid_key = $1 AND name_key = $2";
const char ZaSqlStatements::kAddPreference[] =
    "INSERT INTO za_preferences (uid_key, name_key, name, value) VALUES ($1, $2, $3, $4)"
    " ON CONFLICT (uid_key, name_key) DO UPDATE SET value = excluded.value";
const char ZaSqlStatements::kDropPreferencesOf[] = "DELETE FROM za_preferences WHERE uid_key = $1";

const char ZaSqlStatements::kUserUsage[] =
    "SELECT a.uid, COALESCE(p.name, a.name), a.bytes FROM za_accounts a"
    " LEFT JOIN za_people p ON p.uid_key = a.uid_key ORDER BY a.bytes DESC, a.seq";
const char ZaSqlStatements::kGroupUsage[] = "SELECT gid, name, bytes FROM za_groups ORDER BY bytes DESC, seq";
const char ZaSqlStatements::kSetUserUsage[] = "UPDATE za_accounts SET bytes = $2 WHERE uid_key = $1";
const char ZaSqlStatements::kSetGroupUsage[] = "UPDATE za_groups SET bytes = $2 WHERE gid_key = $1";
