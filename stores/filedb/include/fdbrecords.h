// Record files of the flat-file directory store: one record per line, fields
// separated by tabs (tab, line feed, carriage return and backslash escaped),
// after a header line naming the table. Files are only ever replaced whole, by
// writing a temporary file in the same folder and renaming it over the old one.
#ifndef FDBRECORDS_H
#define FDBRECORDS_H

#include <string>
#include <vector>

typedef std::vector<std::string> FdbRecord;

// Identity of a file's current contents: a replaced file gets a new inode, a
// rewritten one a new size or modification time.
struct FdbFileStamp {
  bool exists = false;
  unsigned long long device = 0, inode = 0, size = 0;
  long long mtimeNs = 0;
  bool operator==(const FdbFileStamp& o) const;
  bool operator!=(const FdbFileStamp& o) const { return !(*this == o); }
};
FdbFileStamp FdbStampOf(const std::string& path);

// Keeps the file that a cached copy was read from open, so that its inode
// cannot be given to a later file while the copy is in use: a new file with
// the old inode, size and time would otherwise pass for the cached one.
class FdbPinnedFile {
 public:
  FdbPinnedFile() = default;
  ~FdbPinnedFile();
  FdbPinnedFile(const FdbPinnedFile&) = delete;
  FdbPinnedFile& operator=(const FdbPinnedFile&) = delete;
  void Pin(const std::string& path);  // drops the previous file; a missing one pins nothing
  void Drop();

 private:
  int fd = -1;
};

std::string FdbEscapeField(const std::string& field);
std::string FdbUnescapeField(const std::string& field);

// The file's whole contents; false when it cannot be opened.
bool FdbReadWholeFile(const std::string& path, std::string* contents);

// Records of a table file whose header names `table`; a missing file has none.
// Throws a ZaError* for a file of another table or version.
std::vector<FdbRecord> FdbReadRecords(const std::string& path, const char* table);
std::string FdbFormatRecords(const char* table, const std::vector<FdbRecord>& records);

// Replaces the file atomically with `contents` (temporary file, fsync, rename),
// so readers see either the old or the new file. Throws a ZaError* on failure
// and then leaves the old file as it was.
void FdbReplaceFile(const std::string& path, const std::string& contents);

// Raises a ZaError* with one trace line from this store (not shown to the user).
[[noreturn]] void FdbFail(int line, const char* source, const std::string& message, int level = 2);


#endif
