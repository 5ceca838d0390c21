// The embedded store as the program sees it: UserDB and GroupDB over one
// FileDirStore each. Results follow the store interfaces: malloc texts and new
// lists, cards, records and document lists that the caller frees or deletes.
#ifndef FDBUSERDB_H
#define FDBUSERDB_H

#include <memory>
#include <string>

#include "fdbstore.h"
#include "groupDB.h"
#include "userDB.h"

// Where the store's files are: the configuration's "FileDBDir" (relative
// paths count from the installation's top folder), else the top folder's
// "data" folder.
extern const char kFdbDirKey[];
std::string FdbDataDirFrom(ZaConfigDB* config);

class ZaFileUserDB : public UserDB {
 public:
  ZaFileUserDB();
  ~ZaFileUserDB() override;
  // Opens the store in `dataDir` directly (tools and tests); raises a ZaError*
  // of level 3 when the folder cannot be reached.
  void OpenAt(const std::string& dataDir);

  ZaBoolean Open(ZaBoolean inServer, ZaConfigDB* config, int* threadKey) override;
  VCard* GetBaseCard() override;
  ZaBoolean IsSetUp() override;
  ZaBoolean NoteLogin(char* uid) override;
  ZaBoolean DeleteAccount(char* uid) override;
  ZaBoolean GetLoginFlag(char* uid) override;
  ZaBoolean CheckPassword(char* uid, char* password) override;
  ZaBoolean SetPassword(char* uid, char* password) override;
  ZaBoolean UserExists(char* uid) override;
  ZaBoolean LoginTaken(char* login) override;
  char* GetUidFromLogin(char* login) override;
  char* GetUidFromServerUser(char* serverUser) override;
  ZaBoolean AccountExists(char* uid) override;
  ZaBoolean CreateAccount(char* uid, char* login) override;
  char* GetUserName(char* uid) override;
  char* GetEmailAddress(char* uid) override;
  ValList* GetGroupsOfUser(char* uid) override;
  ValList* GetHotlistPeople(char* uid) override;
  ValList* GetHotlistGroups(char* uid) override;
  ValNameList* GetUserPreferences(char* uid) override;
  VCard* GetVCard(char* uid, ZaBoolean full) override;
  long GetDiskUsage(char* uid) override;
  ValNameList* GetAllDiskUsage() override;
  ValNameList* GetDiskUsageOf(ValList* uids) override;
  ValNameList* GetCurrentUserNames() override;
  ValNameList* GetAccountLogins() override;
  ValNameList* GetAccountNames() override;
  ZaBoolean DeleteUserData(char* uid) override;
  ZaBoolean IsNonCurrentUser(char* uid) override;
  ValNameList* GetCurrentUsers() override;

 private:
  FileDirStore& Store(const char* operation);
  std::unique_ptr<FileDirStore> store;
};

class ZaFileGroupDB : public GroupDB {
 public:
  ZaFileGroupDB();
  ~ZaFileGroupDB() override;
  void OpenAt(const std::string& dataDir);

  ZaBoolean Open(ZaConfigDB* config, int* threadKey) override;
  char* GetGroupName(char* gid) override;
  void GetMembersOfGroups(ValList* gids, ValList* members) override;
  ZaGroupRecord* GetGroup(char* gid) override;
  ValNameList* GetAllGroups() override;
  // With removeData ZaTrue (as the console asks) the group's data folder and
  // documents go with it; otherwise they stay on disk for archiving.
  ZaBoolean DeleteGroup(char* gid, UserDB* users, ZaBoolean removeData) override;
  ZaDocumentObjList* GetGroupFiles(char* gid) override;
  ZaBoolean ChangeOwner(char* gid, char* newOwner, UserDB* users) override;
  ZaBoolean RemoveMember(char* gid, char* uid, UserDB* users) override;
  ValList* GetGroupsOwnedBy(char* uid, UserDB* users) override;
  long GetGroupDiskUsage(char* gid) override;
  ValNameList* GetAllGroupsDiskUsage() override;

 private:
  FileDirStore& Store(const char* operation);
  std::unique_ptr<FileDirStore> store;
};

#endif
