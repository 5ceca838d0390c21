// Document records (one file kept by a person or a group: name, description,
// owner, creation time) and their list, with the line-oriented list file format
// "BEGIN:vDocObj" ... "END:vDocObj". Records own their texts and date; a list
// owns its records.
#ifndef ZA_ZADOCUMENT_H
#define ZA_ZADOCUMENT_H

#include <cstdio>

#include "zaerror.h"

class ZaDate;

class ZaDocumentObj {
 public:
  ZaDocumentObj() = default;
  ZaDocumentObj(const ZaDocumentObj&) = delete;
  ZaDocumentObj& operator=(const ZaDocumentObj&) = delete;
  // Frees the texts and the date; the following record is left alone.
  ~ZaDocumentObj();

  // A new record (caller deletes) with copies of the fields, the date kept to
  // the minute, and no following record.
  ZaDocumentObj* Copy();
  // Reads one record; ZaTrue when its "END:vDocObj" line was reached. Raises
  // the date's ZaError for an unreadable "DCREATED:" value.
  ZaBoolean Read(FILE* in);
  // Writes the seven-line block. Line ends inside the name and description are
  // turned into blanks in this record first.
  void Write(FILE* out);

  char* name = nullptr;         // malloc'd; the key of the list operations
  char* description = nullptr;  // malloc'd
  char* owner = nullptr;        // malloc'd user ID
  ZaDate* created = nullptr;    // owned
  ZaDocumentObj* next = nullptr;
};

class ZaDocumentObjList {
 public:
  ZaDocumentObjList() = default;
  ZaDocumentObjList(const ZaDocumentObjList&) = delete;
  ZaDocumentObjList& operator=(const ZaDocumentObjList&) = delete;
  ~ZaDocumentObjList();

  // Puts the record at the front and takes ownership of it.
  void Add(ZaDocumentObj* doc);
  // First record whose name matches, ignoring letter case; borrowed, or null.
  ZaDocumentObj* Lookup(char* name);
  // Destroys the first record whose name matches, ignoring letter case.
  void Remove(char* name);
  // Appends the records read from the stream or file; returns this list. A
  // file that cannot be opened leaves the list unchanged without an error.
  ZaDocumentObjList* Read(FILE* in);
  ZaDocumentObjList* Read(char* path);
  // Writes every record from the head on; the path form creates or truncates.
  void Write(FILE* out);
  void Write(char* path);

  ZaDocumentObj* head = nullptr;
  int count = 0;  // always the number of records reachable from head
};

#endif
