// ZaSqlStoreAdmin: the administration interface (zastore, tests, benchmarks)
// over the SQL store. It creates the console's tables from the schema shipped
// with the program, and writes people into the configured employee table
// through the schema map: meant for the demonstration's own employee table,
// since a real site's staff table is kept by its own systems.
#ifndef SQLADMIN_H
#define SQLADMIN_H

#include <memory>
#include <string>
#include <vector>

#include "sqlstore.h"
#include "zastoreadmin.h"

// The settings of the installation at `topDir`: the SQL entries of its
// configuration file (`settings`, as read from it: the password scrambled)
// and the side files in TOP/config.
SqlSettings SqlSettingsAt(const std::string& topDir, ValNameList* settings);

class ZaSqlStoreAdmin : public ZaStoreAdmin {
 public:
  explicit ZaSqlStoreAdmin(const SqlSettings& settings);
  ~ZaSqlStoreAdmin() override;

  std::string Location() override;
  bool IsInitialised() override;
  std::string Init() override;
  std::string InitDemoEmployees() override;

  bool PersonExists(const std::string& uid) override;
  void AddPeople(std::vector<std::unique_ptr<VCard>>* cards) override;
  bool RemovePerson(const std::string& uid) override;
  std::vector<ZaStorePerson> People() override;

  bool AccountExists(const std::string& uid) override;
  bool LoginTaken(const std::string& login) override;
  void AddAccount(const std::string& uid, const std::string& login, bool admin, const std::string& password) override;
  bool SetPassword(const std::string& uid, const std::string& password) override;
  std::vector<ZaStoreAccount> Accounts() override;

  bool FindGroup(const std::string& gid, ZaStoreGroup* out) override;
  void AddGroup(const ZaStoreGroup& group) override;
  bool AddMember(const std::string& gid, const std::string& uid) override;
  std::vector<ZaStoreGroup> Groups() override;
  bool AddDocument(const std::string& gid, const ZaStoreDocument& doc) override;
  bool AddToHotlist(const std::string& uid, bool group, const std::string& target) override;
  bool SetPreference(const std::string& uid, const std::string& key, const std::string& value) override;

  // Usage figures are kept in the database: a new "file" adds its bytes to
  // the figure, and there are no folders to measure again.
  bool AddUsageFile(bool group, const std::string& id, long long bytes) override;
  void RescanUsage() override;

  // Everything in one transaction, each table filled with one COPY.
  void BulkLoad(ZaStoreBulkData* data) override;

 private:
  // The employee columns a card fills, and the card's values for them.
  std::vector<std::string> PersonColumns();
  std::vector<SqlParam> PersonValues(VCard* card);
  std::string GroupMembersSql();
  SqlStore store;
};

// The console's schema and the demonstration's employee table, as shipped in
// install/sql/ (compiled in, so that a store can be set up from the plug-in alone).
extern const char kSqlSchemaText[];
extern const char kSqlDemoEmployeesText[];

#endif
