// za-store-bench OPERATION...: opens the installation's directory store
// through the program's loader, as the console does, and times each named
// operation. Run it from a folder three levels below the installation's top
// folder (where the console runs). Prints one line per operation: its name,
// the number of items returned, the time in milliseconds, and the peak
// memory of the process so far in kilobytes.
//
// PerUserLookups walks every account holder and makes the calls the console's
// all-users pages make once per row (names, e-mail, non-current check, groups
// joined and owned with each owned group's record, both hotlists); its item
// count is the sum of the sizes of what those calls returned.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "groupDB.h"
#include "userDB.h"
#include "vallist.h"
#include "zaconfigDB.h"

static int Count(ValNameList* list) {
  int n = list ? list->count : -1;
  delete list;
  return n;
}

static int Count(ValList* list) {
  int n = list ? list->count : 0;
  delete list;
  return n;
}

static int Discard(char* text) {
  int n = text ? 1 : 0;
  free(text);
  return n;
}

static int PerUserLookups(UserDB* users, GroupDB* groups) {
  std::unique_ptr<ValNameList> accounts(users->GetAccountNames());
  int items = 0;
  for (ValNameListItem* a = accounts ? accounts->head : nullptr; a; a = a->next) {
    char* uid = a->name;
    items += Discard(users->GetUserName(uid)) + Discard(users->GetEmailAddress(uid));
    items += users->IsNonCurrentUser(uid) == ZaTrue ? 1 : 0;
    items += Count(users->GetGroupsOfUser(uid));
    std::unique_ptr<ValList> owned(groups->GetGroupsOwnedBy(uid, users));
    for (ValListItem* g = owned ? owned->head : nullptr; g; g = g->next) {
      std::unique_ptr<ZaGroupRecord> record(groups->GetGroup(g->value));
      items += record ? 1 : 0;
    }
    items += Count(users->GetHotlistPeople(uid)) + Count(users->GetHotlistGroups(uid));
  }
  return items;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: za-store-bench OPERATION...\n");
    return 2;
  }
  try {
    ZaConfigDB config(nullptr);
    int key = 0;
    UserDB* users = ZaCreateUserDB(&config);
    GroupDB* groups = ZaCreateGroupDB(&config);
    if (users->Open(ZaFalse, &config, &key) != ZaTrue || groups->Open(&config, &key) != ZaTrue) {
      fprintf(stderr, "za-store-bench: the store did not open\n");
      return 1;
    }
    for (int i = 1; i < argc; ++i) {
      std::function<int()> op;
      std::string name = argv[i];
      if (name == "GetCurrentUserNames") op = [&] { return Count(users->GetCurrentUserNames()); };
      if (name == "GetAccountNames") op = [&] { return Count(users->GetAccountNames()); };
      if (name == "GetCurrentUsers") op = [&] { return Count(users->GetCurrentUsers()); };
      if (name == "GetAllDiskUsage") op = [&] { return Count(users->GetAllDiskUsage()); };
      if (name == "GetAllGroupsDiskUsage") op = [&] { return Count(groups->GetAllGroupsDiskUsage()); };
      if (name == "PerUserLookups") op = [&] { return PerUserLookups(users, groups); };
      if (!op) {
        fprintf(stderr, "za-store-bench: unknown operation %s\n", argv[i]);
        return 2;
      }
      auto start = std::chrono::steady_clock::now();
      int items = op();
      double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      struct rusage usage;
      getrusage(RUSAGE_SELF, &usage);
      printf("%-22s %8d items %9.1f ms %8ld KB peak\n", argv[i], items, ms, usage.ru_maxrss);
    }
    ZaDestroyGroupDB(groups, &config);
    ZaDestroyUserDB(users, &config);
  } catch (ZaError* e) {
    for (ValListItem* l = e->lines.head; l; l = l->next) fprintf(stderr, "%s\n", l->value ? l->value : "");
    delete e;
    return 1;
  }
  return 0;
}
