// The SQL that every SQL store shares: its schema and its statements, written
// in the part of SQL that the embedded (SQLite) and the server (PostgreSQL)
// engines understand alike. Parameters are numbered $1, $2... and always
// bound, never pasted in. IDs, logins and names are compared through "key"
// columns that hold the lower-case text (ZaStoreKey), so lookups ignore letter
// case with plain indexes; sort_key columns hold the lower-case display or
// group name and must compare byte by byte (a server store declares them
// COLLATE "C"). seq columns keep the order in which rows were added.
// Dialect-specific parts (transactions, upserts of the engine's own kind,
// connection settings) stay in each store.
#ifndef ZASTORESQL_H
#define ZASTORESQL_H

// The schema version this code writes; a newer one in a database is refused.
constexpr int kZaSqlSchemaVersion = 1;

// Statements that create the schema, to run in order in one transaction.
extern const char* const kZaSqlSchema[];
extern const int kZaSqlSchemaCount;

// Each statement below lists its parameters and the columns it returns.
struct ZaSqlStatements {
  // za_meta: name, value. The schema version and the set-up mark.
  static const char kGetMeta[];        // $1 name -> value
  static const char kPutMeta[];        // $1 name, $2 value

  // People.
  static const char kFindPerson[];     // $1 uid_key -> uid, name, email
  static const char kCard[];           // $1 uid_key -> card
  static const char kPeople[];         // -> uid, name, email (order added)
  static const char kPeopleByName[];   // -> uid, name (display-name order)
  static const char kAddPerson[];      // $1 uid_key, $2 uid, $3 name, $4 email, $5 sort_key, $6 card
  static const char kRemovePerson[];   // $1 uid_key
  static const char kCountPeople[];    // -> count

  // Accounts.
  static const char kFindAccount[];    // $1 uid_key -> uid, login, hash, admin, last_login, name
  static const char kFindLogin[];      // $1 login_key -> uid
  static const char kAccounts[];       // -> uid, login, admin, last_login, name, current (order created)
  static const char kAccountNames[];   // -> uid, name (current name where the person is in the directory)
  static const char kAddAccount[];     // $1 uid_key, $2 uid, $3 login_key, $4 login, $5 hash, $6 admin, $7 name, $8 sort_key
  static const char kSetHash[];        // $1 uid_key, $2 hash
  static const char kNoteLogin[];      // $1 uid_key, $2 time
  static const char kDeleteAccount[];  // $1 uid_key
  static const char kNonCurrent[];     // -> uid, name (accounts whose person left)
  static const char kCountAccounts[];  // -> count

  // Groups and members.
  static const char kFindGroup[];      // $1 gid_key -> gid, name, owner, shared
  static const char kGroups[];         // -> gid, name, owner, shared (order added)
  static const char kGroupNames[];     // -> gid, name (by name)
  static const char kAddGroup[];       // $1 gid_key, $2 gid, $3 name, $4 sort_key, $5 owner_key, $6 owner, $7 shared
  static const char kDeleteGroup[];    // $1 gid_key
  static const char kChangeOwner[];    // $1 gid_key, $2 owner_key, $3 owner
  static const char kGroupsOwnedBy[];  // $1 owner_key -> gid
  static const char kMembers[];        // $1 gid_key -> uid (order joined)
  static const char kAllMembers[];     // -> gid_key, uid (by group, order joined)
  static const char kGroupsOfUser[];   // $1 uid_key -> gid (order the groups were added)
  static const char kIsMember[];       // $1 gid_key, $2 uid_key -> 1
  static const char kAddMember[];      // $1 gid_key, $2 uid_key, $3 uid
  static const char kRemoveMember[];   // $1 gid_key, $2 uid_key
  static const char kRemoveUserFromGroups[];  // $1 uid_key

  // Documents.
  static const char kDocuments[];      // $1 gid_key -> name, description, owner, created (order added)
  static const char kFindDocument[];   // $1 gid_key, $2 name_key -> 1
  static const char kAddDocument[];    // $1 gid_key, $2 name_key, $3 name, $4 description, $5 owner, $6 created

  // Hotlists (kind 0 person, 1 group) and preferences.
  static const char kHotlist[];        // $1 uid_key, $2 kind -> target (order added)
  static const char kInHotlist[];      // $1 uid_key, $2 kind, $3 target_key -> 1
  static const char kAddHotlist[];     // $1 uid_key, $2 kind, $3 target_key, $4 target
  static const char kDropHotlistsOf[]; // $1 uid_key
  static const char kDropTarget[];     // $1 kind, $2 target_key
  static const char kPreferences[];    // $1 uid_key -> name, value
  static const char kDropPreference[]; // $1 uid_key, $2 name_key
  static const char kAddPreference[];  // $1 uid_key, $2 name_key, $3 name, $4 value
  static const char kDropPreferencesOf[];  // $1 uid_key

  // Disk usage kept with each account and group, largest first.
  static const char kUserUsage[];      // -> uid, name, bytes (largest first, then order created)
  static const char kGroupUsage[];     // -> gid, name, bytes (largest first, then order added)
  static const char kSetUserUsage[];   // $1 uid_key, $2 bytes
  static const char kSetGroupUsage[];  // $1 gid_key, $2 bytes
};

#endif
