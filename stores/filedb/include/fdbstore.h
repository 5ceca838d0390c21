// FileDirStore: the flat-file directory store. People live in a vCard file
// with a card index; accounts, groups, hotlists, preferences and a disk-usage
// summary live in record files; every person and group has a data folder.
// Each file is read under a shared and changed under an exclusive lock on its
// ".lck" companion, and a change is a read-modify-write under one exclusive
// lock. Parsed files are kept in memory and re-read only when they changed.
// IDs (user and group) compare without regard to letter case.
#ifndef FDBSTORE_H
#define FDBSTORE_H

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "fdbrecords.h"
#include "zastoreadmin.h"

class VCard;
class ZaDocumentObjList;

struct FdbPerson {
  std::string uid, name, email;
  long long offset = 0;  // byte offset of the card in the vCard file
};

struct FdbAccount {
  std::string uid, login, hash;
  std::string name;  // display name, kept for users who have left the directory
  bool admin = false;
  long long lastLogin = 0;
};

typedef ZaStoreGroup FdbGroup;

enum FdbHotlistKind { kFdbHotlistPerson, kFdbHotlistGroup };

typedef ZaStoreDocument FdbDocument;

// A user or group ID: 1 to 64 letters, digits, '.', '_', '-' or '@', not
// starting with '.', so that it can name a folder and a record field.
bool FdbValidId(const std::string& id);
std::string FdbKey(const std::string& id);  // the ID as compared: lower case

class FileDirStore {
 public:
  explicit FileDirStore(const std::string& dataDir);
  ~FileDirStore();
  FileDirStore(const FileDirStore&) = delete;
  FileDirStore& operator=(const FileDirStore&) = delete;

  const std::string& DataDir() const { return dir; }
  // Raises a ZaError* of level 3 when the data folder is missing or unusable.
  void CheckReachable() const;
  bool IsInitialised() const;  // Initialise has run on this folder
  void Initialise();           // creates the folders and the marker; repeatable

  // People. Lookups return false / empty results when there is no such person.
  bool FindPerson(const std::string& uid, FdbPerson* out);
  std::vector<FdbPerson> People();              // in file order
  VCard* ReadCard(const std::string& uid);      // new card (caller deletes), or null
  // Adds cards (taken over) after checking them all: each needs a valid,
  // new UID and a name. Nothing is added when one fails (user ZaError*).
  void AddPeople(std::vector<std::unique_ptr<VCard>>* cards);
  bool RemovePerson(const std::string& uid);    // the account, if any, stays

  // Accounts.
  bool FindAccount(const std::string& uid, FdbAccount* out);
  bool FindAccountByLogin(const std::string& login, FdbAccount* out);
  std::vector<FdbAccount> Accounts();           // in creation order
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
  bool FindGroup(const std::string& gid, FdbGroup* out);
  std::vector<FdbGroup> Groups();
  std::vector<std::string> GroupsOfUser(const std::string& uid);
  std::vector<std::string> GroupsOwnedBy(const std::string& uid);
  // Adds a group (the owner becomes a member); a user ZaError* when the group
  // exists, an ID is invalid or the owner or a member has no account.
  void AddGroup(const FdbGroup& group);
  bool AddMember(const std::string& gid, const std::string& uid);
  bool RemoveMember(const std::string& gid, const std::string& uid);
  bool ChangeOwner(const std::string& gid, const std::string& newOwner);
  // Removes the group record and every hotlist entry naming it; with
  // removeData its data folder and document list go too.
  bool DeleteGroup(const std::string& gid, bool removeData);

  // Documents of a group.
  ZaDocumentObjList* GroupDocuments(const std::string& gid);  // new list, caller deletes
  bool AddDocument(const std::string& gid, const FdbDocument& doc);

  // Hotlists and preferences.
  std::vector<std::string> Hotlist(const std::string& uid, FdbHotlistKind kind);
  bool AddToHotlist(const std::string& uid, FdbHotlistKind kind, const std::string& target);
  std::vector<std::pair<std::string, std::string>> Preferences(const std::string& uid);
  bool SetPreference(const std::string& uid, const std::string& key, const std::string& value);

  // Disk usage: bytes below the data folder, as ZaGetDirSize counts them.
  long long UserUsage(const std::string& uid);
  long long GroupUsage(const std::string& gid);
  // Every account holder's / group's usage, largest first.
  std::vector<std::pair<std::string, long long>> AllUserUsage();
  std::vector<std::pair<std::string, long long>> AllGroupUsage();
  // Writes a new file of `bytes` bytes into the user's or group's data folder.
  bool AddUsageFile(bool group, const std::string& id, long long bytes);
  void RescanUsage();  // recomputes the whole usage summary

  // Fills an initialised, empty store (user ZaError* otherwise).
  void BulkLoad(ZaStoreBulkData* data);

  std::string UserFolder(const std::string& uid) const;
  std::string GroupFolder(const std::string& gid) const;
  std::string DocumentFile(const std::string& gid) const;

  struct Tables;  // the cached files (fdbstore_tables.h)

 private:
  std::string dir;
  std::unique_ptr<Tables> tables;
};

#endif
