// Document records and their list file: reading, writing and keeping the list.
#include "zadocument.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "string_class.h"
#include "owners.h"
#include "stringutil.h"
#include "zadate.h"

namespace {

const char kSource[] = "dblib/src/zadocument";

const char kBegin[] = "BEGIN:vDocObj";
const char kVersion[] = "VERSION:1.0";
const char kName[] = "NAME:";
const char kDescription[] = "DESCRIPTION:";
const char kOwner[] = "OWNER:";
const char kCreated[] = "DCREATED:";
const char kEnd[] = "END:vDocObj";

bool StartsWith(const char* line, const char* label) {
  return strncmp(line, label, strlen(label)) == 0;
}

char* CopyOrNull(const char* text) { return text ? strdup(text) : nullptr; }

const char* OrEmpty(const char* text) { return text ? text : ""; }

[[noreturn]] void RaiseFileError(int line, const std::string& message) {
  ZaError* e = new ZaError();
  e->AddLine(line, kSource, message.c_str(), ZaFalse);
  throw e;
}

// Closes a stream whose close result matters: the guard lets go first so that
// the file is closed exactly once.
bool CloseChecked(OwnedFile& file) { return fclose(file.release()) == 0; }

}  // namespace

ZaDocumentObj::~ZaDocumentObj() {
  free(name);
  free(description);
  free(owner);
  delete created;
}

ZaDocumentObj* ZaDocumentObj::Copy() {
  auto copy = std::make_unique<ZaDocumentObj>();
  copy->name = CopyOrNull(name);
  copy->description = CopyOrNull(description);
  copy->owner = CopyOrNull(owner);
  if (created) {
    // Rebuilt from the versit form, so the copy holds the date to the minute.
    MallocText versit(created->VersitStyleString());
    copy->created = new ZaDate(versit.get());
  }
  return copy.release();
}

ZaBoolean ZaDocumentObj::Read(FILE* in) {
  for (;;) {
    String line;
    ZaBoolean whole = line.GetField(in);
    if (whole != ZaTrue && line.length == 0) return ZaFalse;  // end of stream
    const char* text = OrEmpty(line.text);
    if (StartsWith(text, kBegin)) {
      continue;
    } else if (StartsWith(text, kName)) {
      free(name);
      name = StringGrabValAfterColon(text);
    } else if (StartsWith(text, kDescription)) {
      free(description);
      description = StringGrabValAfterColon(text);
      if (!description) description = strdup("");
    } else if (StartsWith(text, kOwner)) {
      free(owner);
      owner = StringGrabValAfterColon(text);
    } else if (StartsWith(text, kCreated)) {
      delete created;
      created = nullptr;
      MallocText versit(StringGrabValAfterColon(text));
      // A record written without a date has an empty "DCREATED:" line; it
      // reads back without one instead of failing.
      if (versit) created = new ZaDate(versit.get());
    } else if (StartsWith(text, kVersion)) {
      continue;
    } else if (StartsWith(text, kEnd)) {
      return ZaTrue;
    } else {
      return ZaFalse;
    }
  }
}

void ZaDocumentObj::Write(FILE* out) {
  if (name) StringRemoveNewlines(name);
  if (description) StringRemoveNewlines(description);
  MallocText versit(created ? created->VersitStyleString() : nullptr);
  fprintf(out, "%s\n%s\n%s%s\n%s%s\n%s%s\n%s%s\n%s\n", kBegin, kVersion, kName, OrEmpty(name),
          kDescription, OrEmpty(description), kOwner, OrEmpty(owner), kCreated,
          OrEmpty(versit.get()), kEnd);
}

ZaDocumentObjList::~ZaDocumentObjList() {
  while (head) {
    ZaDocumentObj* doomed = head;
    head = head->next;
    delete doomed;
  }
}

void ZaDocumentObjList::Add(ZaDocumentObj* doc) {
  if (!doc) return;
  doc->next = head;
  head = doc;
  ++count;
}

ZaDocumentObj* ZaDocumentObjList::Lookup(char* wanted) {
  for (ZaDocumentObj* doc = head; doc; doc = doc->next) {
    if (doc->name && wanted && strcasecmp(doc->name, wanted) == 0) return doc;
  }
  return nullptr;
}

void ZaDocumentObjList::Remove(char* wanted) {
  for (ZaDocumentObj** link = &head; *link; link = &(*link)->next) {
    ZaDocumentObj* doc = *link;
    if (doc->name && wanted && strcasecmp(doc->name, wanted) == 0) {
      *link = doc->next;
      delete doc;
      --count;
      return;
    }
  }
}

ZaDocumentObjList* ZaDocumentObjList::Read(FILE* in) {
  ZaDocumentObj** tail = &head;
  while (*tail) tail = &(*tail)->next;
  for (;;) {
    auto doc = std::make_unique<ZaDocumentObj>();
    if (doc->Read(in) != ZaTrue) return this;
    *tail = doc.release();
    tail = &(*tail)->next;
    ++count;
  }
}

ZaDocumentObjList* ZaDocumentObjList::Read(char* path) {
  OwnedFile file(path ? fopen(path, "r") : nullptr);
  if (!file) return this;  // no document file yet: nothing to add
  try {
    Read(file.get());
  } catch (ZaError* e) {
    e->AddLine(236, kSource, (std::string("Unable to read the document list from file ") + path).c_str(),
               ZaFalse);
    throw;
  }
  if (!CloseChecked(file)) {
    RaiseFileError(243, std::string("Unable to close file ") + path + " after reading");
  }
  return this;
}

void ZaDocumentObjList::Write(FILE* out) {
  for (ZaDocumentObj* doc = head; doc; doc = doc->next) doc->Write(out);
}

void ZaDocumentObjList::Write(char* path) {
  OwnedFile file(path ? fopen(path, "w") : nullptr);
  if (!file) {
    RaiseFileError(256, std::string("Unable to open file ") + OrEmpty(path) + " for writing");
  }
  Write(file.get());
  if (!CloseChecked(file)) {
    RaiseFileError(263, std::string("Unable to close file ") + path + " after writing");
  }
}
