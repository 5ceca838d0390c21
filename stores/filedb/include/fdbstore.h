// FileDirStore: the embedded directory store. People (with their vCard
// text), accounts, groups, members, documents' records, hotlists,
// preferences and disk-usage figures live in one SQLite database,
// "zarvo.db" in the store's data folder; each user's and group's data files
// live in the folders "users/<id>" and "groups/<id>" beside it. Every lookup
// is an indexed query; every change of more than one row is one transaction.
// IDs (user and group) compare without regard to letter case. Results are
// values the caller owns.
#ifndef FDBSTORE_H
#define FDBSTORE_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zastoreadmin.h"

class FdbDatabase;
class VCard;
class ZaDocumentObjList;

struct FdbPerson {
  std::string uid, name, email;
};

struct FdbAccount {
  std::string uid, login, hash;
  std::string name;  // display name, kept for users who have left the directory
  bool admin = false;
  long long lastLogin = 0;
};

typedef ZaStoreGroup FdbGroup;
typedef ZaStoreDocument FdbDocument;

enum FdbHotlistKind { kFdbHotlistPerson = 0, kFdbHotlistGroup = 1 };

// One line of a usage listing: ID, display or group name, bytes.
struct FdbUsage {
  std::string id, name;
  long long bytes = 0;
};

// The database's file name in the data folder.
extern const char kFdbDatabaseFile[];

class FileDirStore {
 public:
  explicit FileDirStore(const std::string& dataDir);
  ~FileDirStore();
  FileDirStore(const FileDirStore&) = delete;
  FileDirStore& operator=(const FileDirStore&) = delete;

  const std::string& DataDir() const { return dir; }
  // Raises a ZaError* of level 3 when the data folder or the database is
  // missing, unreadable or damaged.
  void CheckReachable();
  bool IsInitialised();  // the database exists and has been set up
  // Creates the folders, the database and its tables (repeatable). A folder
  // that still holds the older text tables has them moved into the new
  // database once; the returned line says so ("" when there was nothing to do).
  std::string Initialise();

  // People. Lookups return false / empty results when there is no such person.
  bool FindPerson(const std::string& uid, FdbPerson* out);
  std::vector<FdbPerson> People();        // in the order added
  std::vector<FdbPerson> PeopleByName();  // by display name, letter case ignored
  VCard* ReadCard(const std::string& uid);  // new card (caller deletes), or null
  // Adds cards (taken over) after checking them all: each needs a valid, new
  // UID and a name within the limits. Nothing is added when one fails (user ZaError*).
  void AddPeople(std::vector<std::unique_ptr<VCard>>* cards);
  bool RemovePerson(const std::string& uid);  // the account, if any, stays

  // Accounts.
  bool FindAccount(const std::string& uid, FdbAccount* out);
  bool FindAccountByLogin(const std::string& login, FdbAccount* out);
  std::vector<FdbAccount> Accounts();  // in creation order
  // User ID and current display name of every account holder, by name.
  std::vector<std::pair<std::string, std::string>> AccountNames();
  // False when the person is not in the directory, already has an account,
  // or the login name is taken or unusable. `hash` (ZaHashPassword) may be
  // given so that the account never exists without its password.
  bool CreateAccount(const std::string& uid, const std::string& login, bool admin,
                     const std::string& hash = "");
  bool SetPassword(const std::string& uid, const std::string& password);
  bool CheckPassword(const std::string& uid, const std::string& password);
  bool NoteLogin(const std::string& uid);
  bool DeleteAccount(const std::string& uid);
  // Removes what the user keeps apart from the account: data folder,
  // hotlists, preferences, and the user's place in other people's hotlists.
  bool DeleteUserData(const std::string& uid);

  // Groups.
  bool FindGroup(const std::string& gid, FdbGroup* out);  // with its members
  std::vector<FdbGroup> Groups();                         // with members, in the order added
  std::vector<std::pair<std::string, std::string>> GroupNames();  // ID and name, by name
  std::vector<std::string> GroupsOfUser(const std::string& uid);
  std::vector<std::string> GroupsOwnedBy(const std::string& uid);
  // Adds a group (the owner becomes a member); a user ZaError* when the group
  // exists, an ID or the name is invalid or the owner or a member has no account.
  void AddGroup(const FdbGroup& group);
  bool AddMember(const std::string& gid, const std::string& uid);
  bool RemoveMember(const std::string& gid, const std::string& uid);  // never the owner
  bool ChangeOwner(const std::string& gid, const std::string& newOwner);
  // Removes the group with its members, documents' records and every hotlist
  // entry naming it. With removeData its data folder goes too; without, the
  // folder stays for archiving and receives the group's document list.
  bool DeleteGroup(const std::string& gid, bool removeData);

  // Documents of a group.
  ZaDocumentObjList* GroupDocuments(const std::string& gid);  // new list, caller deletes
  bool AddDocument(const std::string& gid, const FdbDocument& doc);

  // Hotlists and preferences.
  std::vector<std::string> Hotlist(const std::string& uid, FdbHotlistKind kind);
  bool AddToHotlist(const std::string& uid, FdbHotlistKind kind, const std::string& target);
  std::vector<std::pair<std::string, std::string>> Preferences(const std::string& uid);
  bool SetPreference(const std::string& uid, const std::string& key, const std::string& value);

  // Disk usage. One user's or group's is measured from the data folder; the
  // listings over everybody come, largest first, from the figures kept in the
  // database, which the store's own changes and RescanUsage bring up to date.
  long long UserUsage(const std::string& uid);
  long long GroupUsage(const std::string& gid);
  std::vector<FdbUsage> AllUserUsage();
  std::vector<FdbUsage> AllGroupUsage();
  // Writes a new file of `bytes` bytes into the user's or group's data folder.
  bool AddUsageFile(bool group, const std::string& id, long long bytes);
  void RescanUsage();  // measures every folder again

  // Fills an initialised, empty store in one transaction (user ZaError* otherwise).
  void BulkLoad(ZaStoreBulkData* data);

  std::string UserFolder(const std::string& uid) const;
  std::string GroupFolder(const std::string& gid) const;

 private:
  FdbDatabase& Db();  // the open database; level 3 when it cannot be opened
  bool ImportOldTables(std::string* said);  // inside the set-up transaction
  std::string dir;
  std::shared_ptr<FdbDatabase> db;
};

#endif
