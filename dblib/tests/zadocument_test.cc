// Document records and their list file format.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zadate.h"
#include "zadocument.h"

namespace {

ZaDocumentObj* MakeDoc(const char* name, const char* description, const char* owner,
                       const char* versit) {
  ZaDocumentObj* doc = new ZaDocumentObj();
  doc->name = name ? strdup(name) : nullptr;
  doc->description = description ? strdup(description) : nullptr;
  doc->owner = owner ? strdup(owner) : nullptr;
  doc->created = versit ? new ZaDate(versit) : nullptr;
  return doc;
}

std::string Versit(ZaDate* date) {
  if (!date) return "";
  char* text = date->VersitStyleString();
  std::string out = text;
  free(text);
  return out;
}

std::vector<std::string> NamesOf(const ZaDocumentObjList& list) {
  std::vector<std::string> names;
  for (ZaDocumentObj* d = list.head; d; d = d->next) names.push_back(d->name ? d->name : "<none>");
  return names;
}

// Reads a list from the given text through a memory stream.
void ReadText(ZaDocumentObjList& list, const std::string& text) {
  FILE* in = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  ASSERT_NE(in, nullptr);
  list.Read(in);
  fclose(in);
}

// A file path in a fresh directory, both removed afterwards.
struct TempPath {
  TempPath() {
    char pattern[] = "/tmp/za_docs_XXXXXX";
    dir = mkdtemp(pattern);
    path = dir + "/docs.lst";
  }
  ~TempPath() {
    remove(path.c_str());
    rmdir(dir.c_str());
  }
  char* get() { return const_cast<char*>(path.c_str()); }
  std::string dir, path;
};

TEST(DocumentFile, RoundTripKeepsRecordsInOrder) {
  TempPath file;
  ZaDocumentObjList out;
  out.Add(MakeDoc("second\r\nname", nullptr, "bob", nullptr));
  out.Add(MakeDoc("first", "two\nlines", "alice", "19961204T0905"));
  out.Write(file.get());

  ZaDocumentObjList in;
  in.Read(file.get());
  ASSERT_EQ(in.count, 2);
  EXPECT_EQ(NamesOf(in), (std::vector<std::string>{"first", "second  name"}));
  EXPECT_STREQ(in.head->description, "two lines");
  EXPECT_STREQ(in.head->owner, "alice");
  EXPECT_EQ(Versit(in.head->created), "19961204T0905");
  EXPECT_STREQ(in.head->next->description, "");
  EXPECT_EQ(in.head->next->created, nullptr);
  // Writing cleaned the line ends in the records themselves.
  EXPECT_STREQ(out.head->description, "two lines");
}

TEST(DocumentRead, StopsAtTheFirstLineOutsideARecord) {
  const std::string block = "BEGIN:vDocObj\nVERSION:1.0\nNAME:a\nDESCRIPTION:\nEND:vDocObj\n";
  struct Row { std::string text; std::vector<std::string> names; };
  const std::vector<Row> rows = {
      {block + block, {"a", "a"}},
      {block + "\n" + block, {"a"}},
      {block + "junk\n" + block, {"a"}},
      {block + "BEGIN:vDocObj\nVERSION:2.0\nNAME:b\nEND:vDocObj\n", {"a"}},
      // Fields in any order, a repeated field keeps the later value, and the
      // BEGIN line is optional.
      {"OWNER:o\nNAME:x\nNAME:y\nEND:vDocObj\n", {"y"}},
      {"NAME:unfinished\n", {}},
      {"", {}}};
  for (const Row& row : rows) {
    ZaDocumentObjList list;
    ReadText(list, row.text);
    EXPECT_EQ(NamesOf(list), row.names) << row.text;
    EXPECT_EQ(list.count, static_cast<int>(row.names.size())) << row.text;
  }
}

TEST(DocumentRead, BadDateKeepsEarlierRecordsAndNamesTheFile) {
  TempPath file;
  const std::string& path = file.path;
  FILE* f = fopen(path.c_str(), "w");
  fputs("NAME:good\nDCREATED:19961204T0905\nEND:vDocObj\nNAME:bad\nDCREATED:19961399T0000\nEND:vDocObj\n", f);
  fclose(f);
  ZaDocumentObjList list;
  try {
    list.Read(file.get());
    ADD_FAILURE() << "no error for a bad date";
  } catch (ZaError* e) {
    std::string newest = e->lines.head->value;
    EXPECT_NE(newest.find("line 236 in file dblib/src/zadocument"), std::string::npos) << newest;
    EXPECT_NE(newest.find("Unable to read the document list from file " + path), std::string::npos);
    delete e;
  }
  EXPECT_EQ(NamesOf(list), (std::vector<std::string>{"good"}));
}

TEST(DocumentFiles, MissingAndUnwritablePaths) {
  ZaDocumentObjList list;
  list.Add(MakeDoc("kept", nullptr, nullptr, nullptr));
  for (const char* path : {"/nonexistent/docs.lst", static_cast<const char*>(nullptr)}) {
    list.Read(const_cast<char*>(path));
    EXPECT_EQ(list.count, 1);
    try {
      list.Write(const_cast<char*>(path));
      ADD_FAILURE() << "no error for an unwritable path";
    } catch (ZaError* e) {
      std::string newest = e->lines.head->value;
      EXPECT_NE(newest.find("line 256"), std::string::npos) << newest;
      std::string shown = path ? std::string(path) + " " : " ";
      EXPECT_NE(newest.find("Unable to open file " + shown + "for writing"), std::string::npos);
      EXPECT_EQ(e->userMessages.count, 0);
      delete e;
    }
  }
}

TEST(DocumentList, AddLookupRemove) {
  ZaDocumentObjList list;
  list.Add(MakeDoc("Report", "older", nullptr, nullptr));
  list.Add(MakeDoc("notes", nullptr, nullptr, nullptr));
  list.Add(MakeDoc("report", "newer", nullptr, nullptr));
  EXPECT_EQ(NamesOf(list), (std::vector<std::string>{"report", "notes", "Report"}));
  EXPECT_STREQ(list.Lookup(const_cast<char*>("REPORT"))->description, "newer");
  EXPECT_EQ(list.Lookup(const_cast<char*>("missing")), nullptr);

  list.Remove(const_cast<char*>("REPORT"));
  EXPECT_EQ(list.count, 2);
  EXPECT_STREQ(list.Lookup(const_cast<char*>("report"))->description, "older");
  list.Remove(const_cast<char*>("missing"));
  EXPECT_EQ(list.count, 2);
  list.Remove(const_cast<char*>("report"));
  list.Remove(const_cast<char*>("notes"));
  EXPECT_EQ(list.head, nullptr);
  EXPECT_EQ(list.count, 0);
  list.Remove(const_cast<char*>("notes"));
  EXPECT_EQ(list.count, 0);
}

TEST(DocumentCopy, CopiesFieldsAndKeepsTheMinute) {
  ZaDocumentObj original;
  original.name = strdup("plan");
  original.owner = strdup("carol");
  original.created = new ZaDate();
  original.next = &original;  // the copy must not take it over
  ZaDocumentObj* copy = original.Copy();
  EXPECT_STREQ(copy->name, "plan");
  EXPECT_NE(copy->name, original.name);
  EXPECT_EQ(copy->description, nullptr);
  EXPECT_STREQ(copy->owner, "carol");
  EXPECT_EQ(copy->next, nullptr);
  EXPECT_EQ(Versit(copy->created), Versit(original.created));
  EXPECT_EQ(copy->created->second, 0);
  delete copy;
  original.next = nullptr;
}

}  // namespace
