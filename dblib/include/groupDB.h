// GroupDB: the abstract group store that a directory-store plug-in implements,
// its group record, and the loader entry points for it.
//
// Ownership: returned texts are malloc'd (caller frees); returned lists,
// records and document lists belong to the caller, who deletes them.
//
// Slot layout: as for UserDB (see userDB.h). Slot 1 is the virtual destructor,
// slot N the N-th virtual operation declared; Reserved...SlotN operations hold
// the positions this program does not use and raise an internal ZaError unless
// a plug-in overrides them. The order is part of the binary contract with
// separately built plug-ins and is checked by loader_test.
#ifndef ZA_GROUPDB_H
#define ZA_GROUPDB_H

#include "userDB.h"

class ZaDocumentObjList;

// One group as the store hands it out. The record owns its texts (freed with
// free()) and its member list; delete it through its virtual destructor.
class ZaGroupRecord {
 public:
  ZaGroupRecord() = default;
  ZaGroupRecord(const ZaGroupRecord&) = delete;
  ZaGroupRecord& operator=(const ZaGroupRecord&) = delete;
  virtual ~ZaGroupRecord();

  char* groupId = nullptr;
  char* ownerId = nullptr;     // user ID of the owner
  char* groupName = nullptr;
  int shared = 0;              // 1 for a shared group, anything else private
  ValList* members = nullptr;  // user IDs of the members
};

class GroupDB {
 public:
  GroupDB() = default;
  GroupDB(const GroupDB&) = delete;
  GroupDB& operator=(const GroupDB&) = delete;

  /*   1 */ virtual ~GroupDB();
  /*   2 */ virtual ZaBoolean Open(ZaConfigDB* config, int* threadKey) = 0;
  /*   3 */ virtual void ReservedGroupSlot3();
  /*   4 */ virtual char* GetGroupName(char* gid) = 0;
  /*   5 */ virtual void SortByValue(VoidList* records);
  /*   6 */ virtual ValNameList* SortByValue(ValList* gids);
  /*   7 */ virtual void GetMembersOfGroups(ValList* gids, ValList* members) = 0;
  /*   8 */ virtual void ReservedGroupSlot8();
  /*   9 */ virtual void ReservedGroupSlot9();
  /*  10 */ virtual ZaGroupRecord* GetGroup(char* gid) = 0;
  /*  11 */ virtual ValNameList* GetAllGroups() = 0;
  /*  12 */ virtual void ReservedGroupSlot12();
  // `option` means what the store makes it mean; the console passes 1.
  /*  13 */ virtual ZaBoolean DeleteGroup(char* gid, UserDB* users, ZaBoolean option) = 0;
  /*  14 */ virtual void ReservedGroupSlot14();
  /*  15 */ virtual void ReservedGroupSlot15();
  /*  16 */ virtual void ReservedGroupSlot16();
  /*  17 */ virtual void ReservedGroupSlot17();
  /*  18 */ virtual void ReservedGroupSlot18();
  /*  19 */ virtual void ReservedGroupSlot19();
  /*  20 */ virtual ZaDocumentObjList* GetGroupFiles(char* gid) = 0;
  /*  21 */ virtual ZaBoolean ChangeOwner(char* gid, char* newOwner, UserDB* users) = 0;
  /*  22 */ virtual ZaBoolean RemoveMember(char* gid, char* uid, UserDB* users) = 0;
  /*  23 */ virtual ValList* GetGroupsOwnedBy(char* uid, UserDB* users) = 0;
  /*  24 */ virtual long GetGroupDiskUsage(char* gid) = 0;
  /*  25 */ virtual ValNameList* GetAllGroupsDiskUsage() = 0;
  /*  26 */ virtual void ReservedGroupSlot26();
  /*  27 */ virtual void ReservedGroupSlot27();
  /*  28 */ virtual void ReservedGroupSlot28();
  /*  29 */ virtual void ReservedGroupSlot29();
  /*  30 */ virtual void ReservedGroupSlot30();
  /*  31 */ virtual void ReservedGroupSlot31();
};

// Plug-in entry points, exported unmangled by every store library.
extern "C" {
GroupDB* ZaCreateImpGroupDB();
void ZaDestroyImpGroupDB(GroupDB* db);
}
typedef GroupDB* (*ZaCreateImpGroupDBFunc)();
typedef void (*ZaDestroyImpGroupDBFunc)(GroupDB*);

// Loads the configured plug-in and returns a new group store (destroy it with
// ZaDestroyGroupDB). Raises a ZaError when the library or entry point is missing.
GroupDB* ZaCreateGroupDB(ZaConfigDB* config);
void ZaDestroyGroupDB(GroupDB* db, ZaConfigDB* config);

#endif
