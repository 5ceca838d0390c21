// The configuration is written through ZaConfigDB, as the console reads it,
// from the console's folder, where the configuration's relative paths (its
// lock file among them) lead to TOP/config.
#include "zastoresql.h"

#include <unistd.h>

#include <climits>

#include "zaconfigDB.h"
#include "zafile.h"

static const char kSource[] = "stores/zastore/zastoresql";

namespace {

// Works in `dir` for its lifetime and then goes back.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& dir) {
    if (!getcwd(previous, sizeof previous)) previous[0] = '\0';
    if (chdir(dir.c_str()) != 0) Fail("cannot work in " + dir);
  }
  ~WorkingDirectory() {
    if (previous[0]) (void)!chdir(previous);
  }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;
  [[noreturn]] static void Fail(const std::string& why) {
    ZaError* e = new ZaError;
    e->level = 4;
    e->AddLine(__LINE__, kSource, why.c_str(), ZaTrue);
    throw e;
  }

 private:
  char previous[PATH_MAX];
};

}  // namespace

void ZaStoreWriteSqlSettings(const std::string& top, SQLInfoRec* info) {
  std::string console = top + "/web/admin/bin";
  if (ZaMkdir(console.c_str(), 0755, ZaTrue) != ZaTrue || ZaMkdir((top + "/config").c_str(), 0755, ZaTrue) != ZaTrue)
    WorkingDirectory::Fail("cannot create the folders of " + top);
  WorkingDirectory here(console);
  ZaConfigDB config(nullptr);
  if (config.DBFormat(ZA_SQL, ZaTrue, info, ZA_EMP_DIR_DB) != ZaTrue || config.WriteToFile() != ZaTrue)
    WorkingDirectory::Fail("cannot write the configuration of " + top);
}
