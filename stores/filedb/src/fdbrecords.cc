#include "fdbrecords.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "zaerror.h"

static const char kSource[] = "stores/filedb/src/fdbrecords";
static const char kHeaderPrefix[] = "#zafiledb ";
static const char kVersion[] = " 1";

bool FdbFileStamp::operator==(const FdbFileStamp& o) const {
  return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
         mtimeNs == o.mtimeNs;
}

FdbFileStamp FdbStampOf(const std::string& path) {
  FdbFileStamp stamp;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return stamp;
  stamp.exists = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return stamp;
}

FdbPinnedFile::~FdbPinnedFile() { Drop(); }

void FdbPinnedFile::Pin(const std::string& path) {
  Drop();
  fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

void FdbPinnedFile::Drop() {
  if (fd >= 0) close(fd);
  fd = -1;
}

void FdbFail(int line, const char* source, const std::string& message, int level) {
  ZaError* e = new ZaError;
  e->level = level;
  e->AddLine(line, source, message.c_str(), ZaFalse);
  throw e;
}

std::string FdbEscapeField(const std::string& field) {
  std::string out;
  out.reserve(field.size());
  for (char c : field) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string FdbUnescapeField(const std::string& field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    char c = field[i];
    if (c != '\\' || i + 1 == field.size()) {
      out += c;
      continue;
    }
    char n = field[++i];
    out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
  }
  return out;
}

bool FdbReadWholeFile(const std::string& path, std::string* contents) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  contents->clear();
  struct stat st;
  if (fstat(fd, &st) == 0 && st.st_size > 0) contents->reserve(st.st_size);
  char buf[65536];
  ssize_t got;
  while ((got = read(fd, buf, sizeof buf)) != 0) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    contents->append(buf, got);
  }
  int readErrno = errno;
  close(fd);
  errno = readErrno;  // the caller explains the failure by it
  return got == 0;
}

static FdbRecord SplitRecord(const char* begin, const char* end) {
  FdbRecord record;
  const char* start = begin;
  for (const char* p = begin;; ++p) {
    if (p == end || *p == '\t') {
      record.push_back(FdbUnescapeField(std::string(start, p)));
      if (p == end) break;
      start = p + 1;
    }
  }
  return record;
}

std::vector<FdbRecord> FdbReadRecords(const std::string& path, const char* table) {
  std::vector<FdbRecord> records;
  std::string text;
  if (!FdbReadWholeFile(path, &text)) {
    if (errno == ENOENT) return records;
    FdbFail(__LINE__, kSource, "Unable to read " + path + ": " + strerror(errno), 3);
  }
  std::string header = std::string(kHeaderPrefix) + table + kVersion;
  size_t eol = text.find('\n');
  if (text.compare(0, eol, header) != 0)
    FdbFail(__LINE__, kSource, "Not a " + std::string(table) + " table of this store: " + path);
  for (size_t pos = eol + 1; eol != std::string::npos && pos < text.size(); pos = eol + 1) {
    eol = text.find('\n', pos);
    size_t stop = eol == std::string::npos ? text.size() : eol;
    if (stop > pos) records.push_back(SplitRecord(text.data() + pos, text.data() + stop));
  }
  return records;
}

std::string FdbFormatRecords(const char* table, const std::vector<FdbRecord>& records) {
  std::string out = std::string(kHeaderPrefix) + table + kVersion + "\n";
  for (const FdbRecord& record : records) {
    for (size_t i = 0; i < record.size(); ++i) {
      if (i) out += '\t';
      out += FdbEscapeField(record[i]);
    }
    out += '\n';
  }
  return out;
}

void FdbReplaceFile(const std::string& path, const std::string& contents) {
  std::string name = path + ".tmpXXXXXX";
  int fd = mkstemp(&name[0]);
  if (fd < 0) FdbFail(__LINE__, kSource, "Unable to create a temporary file beside " + path, 3);
  bool ok = fchmod(fd, 0644) == 0;
  for (size_t done = 0; ok && done < contents.size();) {
    ssize_t n = write(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += n;
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(name.c_str(), path.c_str()) != 0) {
    std::string why = strerror(errno);
    unlink(name.c_str());
    FdbFail(__LINE__, kSource, "Unable to write " + path + ": " + why);
  }
}
