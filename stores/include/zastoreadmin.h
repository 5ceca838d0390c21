// ZaStoreAdmin: how tools (zastore, tests, benchmarks) set up and fill a
// directory store, whatever its kind. Every store plug-in exports, beside the
// four UserDB/GroupDB entry points the program loads, the two C functions
// declared at the end of this file; zastore finds the plug-in the
// installation's configuration names and works only through this interface.
//
// Implementing it in a new store:
//  - derive from ZaStoreAdmin and implement every operation below; the object
//    works on the store that the installation's settings (and its top folder,
//    for relative paths) designate;
//  - export ZaCreateStoreAdmin / ZaDestroyStoreAdmin with default visibility;
//  - refuse bad input with a ZaError* of level 4 carrying one user message
//    (zastore prints it) and change nothing; an unreachable store is level 3;
//  - check texts with ZaCheckStoreText and IDs with ZaStoreValidId
//    (zastorelimits.h), hash passwords with ZaHashPassword (zastorepasswd.h)
//    and keep data folders as zastorefolders.h lays them out;
//  - instantiate the contract suite (stores/contract/include/storecontract.h)
//    in the store's tests: it fills the store through this interface and
//    checks it through UserDB/GroupDB.
//
// Texts are UTF-8 in std::string; IDs compare without regard to letter case.
// Results are values the caller owns; nothing returned points into the store.
#ifndef ZASTOREADMIN_H
#define ZASTOREADMIN_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

class VCard;
class ValNameList;

struct ZaStorePerson {
  std::string uid, name, email;
};

struct ZaStoreAccount {
  std::string uid, login;
  std::string name;      // display name (kept for people who left the directory)
  bool admin = false;
  bool current = true;   // the person is still in the directory (listings only)
  long long lastLogin = 0;
};

struct ZaStoreGroup {
  std::string gid, name, owner;
  bool shared = false;
  std::vector<std::string> members;  // the owner included
};

struct ZaStoreDocument {
  std::string name, description, owner;
};

// A whole generated directory, loaded in one go by ZaStoreAdmin::BulkLoad.
// Accounts have no password; their names come from the cards when current.
struct ZaStoreBulkData {
  std::vector<std::unique_ptr<VCard>> cards;
  std::vector<ZaStoreAccount> accounts;
  std::vector<ZaStoreGroup> groups;
  std::vector<std::pair<std::string, ZaStoreDocument>> documents;  // group ID, document
  std::vector<std::pair<std::string, std::string>> personHotlist, groupHotlist;  // user, target
  std::vector<std::pair<std::string, std::string>> styles;     // user ID, style
  std::vector<std::pair<std::string, long long>> userFiles, groupFiles;  // ID, bytes of one file
  ZaStoreBulkData();
  ~ZaStoreBulkData();
};

class ZaStoreAdmin {
 public:
  virtual ~ZaStoreAdmin();

  // Where the store is, for messages (a folder, a server and database...).
  virtual std::string Location() = 0;
  virtual bool IsInitialised() = 0;
  // Creates what the store needs (folders, schema, set-up mark); repeatable.
  // Returns a line for the operator when it did something worth telling
  // (such as moving older data over), else "".
  virtual std::string Init() = 0;
  // Creates a demonstration table of people, for a store that reads people
  // from a table the site keeps (the SQL store); the others refuse (level 4).
  virtual std::string InitDemoEmployees();

  // People. AddPeople checks every card first (valid new UID, a name, texts
  // within limits) and adds all or none; it takes the cards over.
  virtual bool PersonExists(const std::string& uid) = 0;
  virtual void AddPeople(std::vector<std::unique_ptr<VCard>>* cards) = 0;
  virtual bool RemovePerson(const std::string& uid) = 0;  // the account stays
  virtual std::vector<ZaStorePerson> People() = 0;         // in the order added

  // Accounts. AddAccount refuses (level 4) a person not in the directory, an
  // existing account or a taken login; the account never exists without its
  // password.
  virtual bool AccountExists(const std::string& uid) = 0;
  virtual bool LoginTaken(const std::string& login) = 0;
  virtual void AddAccount(const std::string& uid, const std::string& login, bool admin,
                          const std::string& password) = 0;
  virtual bool SetPassword(const std::string& uid, const std::string& password) = 0;
  virtual std::vector<ZaStoreAccount> Accounts() = 0;  // in creation order

  // Groups, documents, hotlists. AddGroup refuses an existing group, a bad ID
  // or name, an owner or member without account; the owner becomes a member.
  virtual bool FindGroup(const std::string& gid, ZaStoreGroup* out) = 0;  // out may be null
  virtual void AddGroup(const ZaStoreGroup& group) = 0;
  virtual bool AddMember(const std::string& gid, const std::string& uid) = 0;  // false: no account
  virtual std::vector<ZaStoreGroup> Groups() = 0;
  // False when the group already has a document of that name.
  virtual bool AddDocument(const std::string& gid, const ZaStoreDocument& doc) = 0;
  // False when the user has no account or the target person or group does not exist.
  virtual bool AddToHotlist(const std::string& uid, bool group, const std::string& target) = 0;
  // Sets one preference (such as "style"); false when the user has no account.
  virtual bool SetPreference(const std::string& uid, const std::string& key, const std::string& value) = 0;

  // Disk usage: writes a file of `bytes` bytes into the user's or group's data
  // folder (false when there is no such account or group) and records it.
  virtual bool AddUsageFile(bool group, const std::string& id, long long bytes) = 0;
  virtual void RescanUsage() = 0;  // measures every data folder again

  // Fills an initialised, empty store (level 4 otherwise); takes the cards over.
  virtual void BulkLoad(ZaStoreBulkData* data) = 0;
};

// The plug-in's entry points. `topDir` is the installation's top folder, from
// which the configuration's relative paths count; `settings` holds the
// entries of its configuration file (config/configInfo.lst, the keys of
// zaconfigDB.h) and stays the caller's. The object is new and goes back to
// ZaDestroyStoreAdmin. Raises a ZaError* (level 3) when the configured store
// cannot be reached.
extern "C" {
typedef ZaStoreAdmin* (*ZaCreateStoreAdminFunc)(const char* topDir, ValNameList* settings);
typedef void (*ZaDestroyStoreAdminFunc)(ZaStoreAdmin* admin);
ZaStoreAdmin* ZaCreateStoreAdmin(const char* topDir, ValNameList* settings);
void ZaDestroyStoreAdmin(ZaStoreAdmin* admin);
}

#endif
