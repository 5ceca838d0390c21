// The store contract suite: one set of tests that every directory-store
// plug-in must pass unchanged. Each test makes a fresh installation (lib,
// config, the console's working folder), links the plug-in into its lib
// folder, fills the store through the administration interface
// (zastoreadmin.h) and checks it through UserDB and GroupDB, loaded by the
// program's own loader.
//
// A store's test file runs the suite with
//   INSTANTIATE_TEST_SUITE_P(MyStore, StoreContract,
//                            ::testing::Values(StoreContractTarget{"MyStore", path, prepare}));
// and links storecontract whole (za_link_whole), as the filedb tests do.
#ifndef STORECONTRACT_H
#define STORECONTRACT_H

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "groupDB.h"
#include "userDB.h"
#include "vallist.h"
#include "zaconfigDB.h"
#include "zastoreloader.h"

struct StoreContractTarget {
  std::string name;    // shown in the test names
  std::string plugin;  // path of the built plug-in (its file name is the one the loader expects)
  // Readies a new, empty store for the installation at `top` and returns the
  // configuration lines ("key:value\n"...) that point the plug-in at it,
  // the store format entry included. Called once per test.
  std::function<std::string(const std::string& top)> prepare;
};

// gtest prints the target by name.
void PrintTo(const StoreContractTarget& target, std::ostream* out);

class StoreContract : public ::testing::TestWithParam<StoreContractTarget> {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Adds a person (and an account with password "pw-" + uid when `account`).
  void AddUser(const std::string& uid, const std::string& name, bool account = true);

  std::string top;  // the installation's top folder
  std::unique_ptr<ZaConfigDB> config;
  std::unique_ptr<ValNameList> settings;
  std::unique_ptr<ZaLoadedStoreAdmin> admin;
  UserDB* users = nullptr;
  GroupDB* groups = nullptr;

 private:
  std::string previousDir;
};

#endif
