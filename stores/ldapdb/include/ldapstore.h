// LdapDirStore: people, accounts, groups, hotlists, preferences and the
// set-up mark kept in an LDAP directory, with the users' and groups' data
// folders and group document lists on the file system. One object serves one
// request; it remembers the people it has looked up for its lifetime.
//
// Layout below the search base B:
//   people    inetOrgPerson entries anywhere below B (new ones go to ou=people,B),
//             found by uid; name from displayName, else cn; mail
//   accounts  uid=ID,ou=accounts,B: zarvoAccount (uid, zarvoLogin, zarvoAdmin,
//             cn (the holder's name, kept after the person left), userPassword,
//             zarvoLastLogin, zarvoHotlistPerson, zarvoHotlistGroup,
//             zarvoPreference "key=value")
//   groups    zarvoGroupId=ID,ou=groups,B: groupOfNames + zarvoGroup (cn the
//             name, owner and member the DNs of account entries, zarvoShared)
//   mark      cn=zarvo,B: zarvoStore with zarvoSetupStatus "done"
// IDs compare without regard to letter case, as the directory compares them.
#ifndef LDAPSTORE_H
#define LDAPSTORE_H

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ldapconn.h"

class VCard;
class ZaDocumentObjList;

struct LdapPerson {
  std::string uid, name, email, dn;
};

struct LdapAccount {
  std::string uid, login, name;
  bool admin = false;
};

struct LdapGroup {
  std::string gid, name, owner;
  bool shared = false;
  std::vector<std::string> members;
};

enum LdapHotlistKind { kLdapHotlistPerson, kLdapHotlistGroup };

struct LdapDocument {
  std::string name, description, owner;
};

class LdapDirStore {
 public:
  explicit LdapDirStore(std::shared_ptr<LdapConnection> connection);
  ~LdapDirStore();
  LdapDirStore(const LdapDirStore&) = delete;
  LdapDirStore& operator=(const LdapDirStore&) = delete;

  LdapConnection& Connection() { return *conn; }
  bool IsInitialised();
  // Creates the base entry when missing, the three containers, the set-up
  // mark and the data folder; repeatable.
  void Initialise();

  // People. Lookups return false / empty results when there is no such person.
  bool FindPerson(const std::string& uid, LdapPerson* out);
  // Looks up many people with few searches and keeps them for later lookups.
  void Prefetch(const std::vector<std::string>& uids);
  void People(const std::function<void(const LdapPerson&)>& each);
  VCard* ReadCard(const std::string& uid);  // new card (caller deletes), or null
  // Adds a person under ou=people; false when the user ID is taken.
  bool AddPerson(const std::string& uid, const std::string& name, const std::string& email);
  bool RemovePerson(const std::string& uid);  // the account, if any, stays

  // Accounts.
  bool FindAccount(const std::string& uid, LdapAccount* out);
  bool FindAccountByLogin(const std::string& login, LdapAccount* out);
  void Accounts(const std::function<void(const LdapAccount&)>& each);
  // False when the person is not in the directory, already has an account or
  // the login name is taken or empty.
  bool CreateAccount(const std::string& uid, const std::string& login, bool admin);
  bool SetPassword(const std::string& uid, const std::string& password);
  bool CheckPassword(const std::string& uid, const std::string& password);
  bool NoteLogin(const std::string& uid);
  bool DeleteAccount(const std::string& uid);
  // Removes the user's data folder, hotlists and preferences, and the user's
  // place in other people's hotlists. Each step can be repeated.
  bool DeleteUserData(const std::string& uid);

  // Groups.
  bool FindGroup(const std::string& gid, LdapGroup* out);
  void Groups(const std::function<void(const LdapGroup&)>& each);
  std::vector<std::string> GroupsOfUser(const std::string& uid);
  std::vector<std::string> GroupsOwnedBy(const std::string& uid);
  // False when the group exists or the owner or a member has no account;
  // the owner becomes a member.
  bool AddGroup(const LdapGroup& group);
  bool AddMember(const std::string& gid, const std::string& uid);
  // The owner stays a member: false for the owner, and for a non-member.
  bool RemoveMember(const std::string& gid, const std::string& uid);
  bool ChangeOwner(const std::string& gid, const std::string& newOwner);
  // Removes hotlist entries naming the group, with removeData its documents
  // and data folder, and then the group; a repeat completes a broken run.
  bool DeleteGroup(const std::string& gid, bool removeData);

  // Documents of a group, kept in DATA/documents.
  ZaDocumentObjList* GroupDocuments(const std::string& gid);  // new list, caller deletes
  bool AddDocument(const std::string& gid, const LdapDocument& doc);

  // Hotlists and preferences, kept on the account entry.
  std::vector<std::string> Hotlist(const std::string& uid, LdapHotlistKind kind);
  bool AddToHotlist(const std::string& uid, LdapHotlistKind kind, const std::string& target);
  std::vector<std::pair<std::string, std::string>> Preferences(const std::string& uid);
  bool SetPreference(const std::string& uid, const std::string& key, const std::string& value);

  // Disk usage: bytes below the user's or group's data folder.
  long long UserUsage(const std::string& uid);
  long long GroupUsage(const std::string& gid);
  std::string UserFolder(const std::string& uid) const;
  std::string GroupFolder(const std::string& gid) const;
  std::string DocumentFile(const std::string& gid) const;

  // DNs of the store's entries.
  std::string AccountDN(const std::string& uid) const;
  std::string GroupDN(const std::string& gid) const;
  std::string PeopleDN() const;
  std::string AccountsDN() const;
  std::string GroupsDN() const;

 private:
  LdapPerson PersonOf(const LdapEntry& e) const;
  LdapGroup GroupOf(const LdapEntry& e) const;
  std::vector<std::string> GroupsWith(const char* attr, const std::string& uid);

  std::shared_ptr<LdapConnection> conn;
  std::string base;
  // People looked up so far, by lower-cased user ID; absent people too.
  std::unordered_map<std::string, std::unique_ptr<LdapPerson>> known;
};

std::string LdapKey(const std::string& id);  // the ID as compared: lower case

#endif
