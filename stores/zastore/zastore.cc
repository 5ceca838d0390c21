// zastore SUBCOMMAND ... --top DIR: sets up and fills the directory store that
// the installation's configuration names, through the store plug-in's
// administration interface. Every subcommand checks its whole input before it
// changes anything and exits non-zero with a message on failure.
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include "vallist.h"
#include "vcard.h"
#include "versit.h"
#include "zafile.h"
#include "zalock.h"
#include "zastoreadmin.h"
#include "zastorelimits.h"
#include "zastoreloader.h"
#include "zastoreseed.h"
#include "zaconfigDB.h"
#include "zastoresql.h"

namespace {

// A bad command line: the message is printed with the usage and the tool exits with 2.
struct ZaStoreUsageError {
  std::string message;
};

const char kUsage[] =
    "usage: zastore COMMAND --top DIR\n"
    "  init [--demo-employees]        (the SQL store: also a demonstration employee table)\n"
    "  sql-settings --server HOST[:PORT]|SOCKETDIR --database DB --user USER --table EMPTBL --key COLUMN\n"
    "               [--env NAME=VALUE]   (password: one line on standard input)\n"
    "  person import FILE.vcf | person add UID --name \"FULL NAME\" [--email ADDR] | person remove UID\n"
    "  account add UID LOGIN [--admin]   (password: one line on standard input)\n"
    "  account passwd UID                (password: one line on standard input)\n"
    "  group add GID NAME --owner UID [--shared] [--member UID]... | group member GID UID\n"
    "  document add GID NAME [--owner UID] [--description TEXT]\n"
    "  hotlist add UID (--person UID2 | --group GID)\n"
    "  usage add (--user UID | --group GID) BYTES | usage rescan\n"
    "  seed --people N --groups M [--noncurrent K] [--seed S]\n"
    "  list (people|accounts|groups)\n"
    "  --help, -h: this text\n";

// The command line split into words and --options (an option takes the next
// word as its value unless it is a flag).
struct Args {
  std::vector<std::string> words;
  std::vector<std::pair<std::string, std::string>> options;

  Args(int argc, char** argv) {
    static const char* const flags[] = {"--admin", "--shared", "--demo-employees"};
    for (int i = 1; i < argc; ++i) {
      std::string a = argv[i];
      if (a.compare(0, 2, "--") != 0) {
        words.push_back(a);
        continue;
      }
      bool flag = false;
      for (const char* f : flags) flag = flag || a == f;
      if (flag) {
        options.emplace_back(a, "");
      } else {
        if (i + 1 >= argc) throw ZaStoreUsageError{a + " needs a value"};
        options.emplace_back(a, argv[++i]);
      }
    }
  }
  bool Has(const std::string& name) const {
    for (const auto& o : options)
      if (o.first == name) return true;
    return false;
  }
  std::string Get(const std::string& name, bool required = false) const {
    for (const auto& o : options)
      if (o.first == name) return o.second;
    if (required) throw ZaStoreUsageError{name + " is required"};
    return "";
  }
  std::vector<std::string> All(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& o : options)
      if (o.first == name) values.push_back(o.second);
    return values;
  }
  // Refuses options this subcommand does not know, options given twice (only
  // --member may repeat) and a wrong number of words.
  void Expect(size_t wordCount, std::initializer_list<const char*> known) const {
    if (words.size() != wordCount) throw ZaStoreUsageError{"wrong number of arguments"};
    for (size_t i = 0; i < options.size(); ++i) {
      const std::string& name = options[i].first;
      bool ok = name == "--top";
      for (const char* k : known) ok = ok || name == k;
      if (!ok) throw ZaStoreUsageError{"unknown option " + name};
      for (size_t j = 0; j < i; ++j)
        if (options[j].first == name && name != "--member") throw ZaStoreUsageError{name + " given twice"};
    }
  }
};

struct Failure {
  std::string message;
};

long Number(const std::string& text, const char* what) {
  char* end = nullptr;
  errno = 0;
  long long n = strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end || errno || n < 0 || n > 1000000000000LL)
    throw ZaStoreUsageError{std::string(what) + " must be a whole number, not \"" + text + "\""};
  return static_cast<long>(n);
}

// Texts and IDs are checked as the store checks them, but a refusal here is a
// bad command line.
template <class F>
void AsUsage(F check) {
  try {
    check();
  } catch (ZaError* e) {
    std::string message = e->userMessages.head && e->userMessages.head->value ? e->userMessages.head->value : "";
    delete e;
    throw ZaStoreUsageError{message};
  }
}

void CheckText(const std::string& text, const char* what, size_t limit = kZaStoreMaxName) {
  AsUsage([&] { ZaCheckStoreText(text, what, limit); });
}

void CheckId(const std::string& id, const char* what) {
  AsUsage([&] { ZaCheckStoreId(id, what); });
}

// Turns the terminal's echo off while a password is typed; does nothing when
// standard input is not a terminal.
class EchoOff {
 public:
  EchoOff() : active(isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0) {
    if (!active) return;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::cerr << "password: " << std::flush;
  }
  ~EchoOff() {
    if (!active) return;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << "\n";
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  termios saved{};
  bool active;
};

std::string ReadPassword() {
  std::string line;
  bool read;
  {
    EchoOff quiet;
    read = static_cast<bool>(std::getline(std::cin, line));
  }
  if (!read) throw Failure{"no password on standard input"};
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  if (line.empty()) throw Failure{"the password is empty"};
  return line;
}

// The folder this program lives in, from which a build or an installation
// keeps its plug-ins in "../lib".
std::string OwnLibDir() {
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "lib";
  std::string path(self, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/')) + "/../lib";
}

// The installation's configuration and the store plug-in it names.
struct Installation {
  std::string top;
  std::unique_ptr<ValNameList> settings;
  std::unique_ptr<ZaLoadedStoreAdmin> store;

  explicit Installation(const std::string& folder) : top(folder), settings(ZaReadStoreSettings(folder)) {
    std::string plugin = ZaStorePluginPath(top, settings.get(), OwnLibDir());
    if (plugin.empty()) throw Failure{"no store plug-in for the configured store format in " + top + "/lib"};
    store.reset(new ZaLoadedStoreAdmin(plugin, top, settings.get()));
  }
};

// Sets "status" to "done" in the set-up answers, under their lock, replacing
// the file whole so that it is never seen half-written.
void MarkSetUp(const std::string& setup) {
  ZaLockFileGuard lock((setup + ".lck").c_str(), ZaExclusiveLock);
  ValNameList answers;
  answers.Read(setup.c_str());
  answers.Replace("status", "done");
  std::string temporary = setup + ".XXXXXX";
  int fd = mkstemp(&temporary[0]);
  if (fd < 0) throw Failure{"cannot write " + setup};
  FILE* out = fdopen(fd, "w");
  if (!out) {
    close(fd);
    unlink(temporary.c_str());
    throw Failure{"cannot write " + setup};
  }
  fchmod(fd, 0644);
  answers.Write(out);
  bool written = fflush(out) == 0 && fsync(fd) == 0;
  written = fclose(out) == 0 && written;
  if (!written || rename(temporary.c_str(), setup.c_str()) != 0) {
    unlink(temporary.c_str());
    throw Failure{"cannot write " + setup};
  }
}

void Init(const std::string& top, bool demoEmployees) {
  for (const std::string& d : {top, top + "/config", top + "/logs"})
    if (ZaMkdir(d.c_str(), 0755, ZaTrue) != ZaTrue) throw Failure{"cannot create the folder " + d};
  Installation inst(top);
  if (demoEmployees) std::cout << (*inst.store)->InitDemoEmployees() << "\n";
  std::string said = (*inst.store)->Init();
  if (!said.empty()) std::cout << said << "\n";
  MarkSetUp(top + "/config/setup.lst");
  std::cout << "store ready in " << (*inst.store)->Location() << "\n";
}

void Person(ZaStoreAdmin& store, const Args& a) {
  const std::string& verb = a.words.size() > 1 ? a.words[1] : "";
  std::vector<std::unique_ptr<VCard>> cards;
  if (verb == "import") {
    a.Expect(3, {});
    VersitFile file;
    if (file.Open(a.words[2].c_str(), ZaTrue) != ZaTrue) throw Failure{"cannot read " + a.words[2]};
    while (VCard* card = file.GetVCardFromFile()) cards.emplace_back(card);
    if (cards.empty()) throw Failure{"no cards in " + a.words[2]};
    size_t count = cards.size();
    store.AddPeople(&cards);
    std::cout << "imported " << count << " people\n";
  } else if (verb == "add") {
    a.Expect(3, {"--name", "--email"});
    CheckId(a.words[2], "user ID");
    std::string name = a.Get("--name", true), email = a.Get("--email");
    if (name.find_first_not_of(' ') == std::string::npos) throw ZaStoreUsageError{"--name is empty"};
    CheckText(name, "--name");
    CheckText(email, "--email");
    if (!email.empty() && email.find('@') == std::string::npos)
      throw ZaStoreUsageError{"\"" + email + "\" is not an e-mail address"};
    std::unique_ptr<VCard> card(new VCard);
    card->AddEntry(VCardPropUid, a.words[2].c_str());
    card->AddEntry(VCardPropFn, name.c_str());
    if (!email.empty()) card->AddEntry(VCardPropEmail, email.c_str());
    cards.push_back(std::move(card));
    store.AddPeople(&cards);
  } else if (verb == "remove") {
    a.Expect(3, {});
    if (!store.RemovePerson(a.words[2])) throw Failure{"no person " + a.words[2] + " in the directory"};
  } else {
    throw ZaStoreUsageError{"person needs import, add or remove"};
  }
}

void Account(ZaStoreAdmin& store, const Args& a) {
  const std::string& verb = a.words.size() > 1 ? a.words[1] : "";
  if (verb == "add") {
    a.Expect(4, {"--admin"});
    CheckId(a.words[2], "user ID");
    CheckId(a.words[3], "login name");
    // Checked before the password is asked for.
    if (!store.PersonExists(a.words[2])) throw Failure{"no person " + a.words[2] + " in the directory"};
    if (store.AccountExists(a.words[2])) throw Failure{a.words[2] + " has an account already"};
    if (store.LoginTaken(a.words[3])) throw Failure{"the login " + a.words[3] + " is taken"};
    store.AddAccount(a.words[2], a.words[3], a.Has("--admin"), ReadPassword());
  } else if (verb == "passwd") {
    a.Expect(3, {});
    if (!store.AccountExists(a.words[2])) throw Failure{a.words[2] + " has no account"};
    if (!store.SetPassword(a.words[2], ReadPassword())) throw Failure{a.words[2] + " has no account"};
  } else {
    throw ZaStoreUsageError{"account needs add or passwd"};
  }
}

void Group(ZaStoreAdmin& store, const Args& a) {
  const std::string& verb = a.words.size() > 1 ? a.words[1] : "";
  if (verb == "add") {
    a.Expect(4, {"--owner", "--shared", "--member"});
    ZaStoreGroup g;
    g.gid = a.words[2];
    g.name = a.words[3];
    g.owner = a.Get("--owner", true);
    g.shared = a.Has("--shared");
    g.members = a.All("--member");
    CheckId(g.gid, "group ID");
    CheckText(g.name, "the group name");
    for (const std::string& uid : g.members) CheckId(uid, "user ID");
    CheckId(g.owner, "user ID");
    store.AddGroup(g);
  } else if (verb == "member") {
    a.Expect(4, {});
    if (!store.FindGroup(a.words[2], nullptr)) throw Failure{"no group " + a.words[2]};
    if (!store.AddMember(a.words[2], a.words[3])) throw Failure{a.words[3] + " has no account"};
  } else {
    throw ZaStoreUsageError{"group needs add or member"};
  }
}

void Document(ZaStoreAdmin& store, const Args& a) {
  if (a.words.size() < 2 || a.words[1] != "add") throw ZaStoreUsageError{"document needs add"};
  a.Expect(4, {"--owner", "--description"});
  CheckText(a.words[3], "the document name");
  CheckText(a.Get("--description"), "--description", kZaStoreMaxDescription);
  ZaStoreGroup g;
  if (!store.FindGroup(a.words[2], &g)) throw Failure{"no group " + a.words[2]};
  ZaStoreDocument doc{a.words[3], a.Get("--description"), a.Has("--owner") ? a.Get("--owner") : g.owner};
  if (!store.AccountExists(doc.owner)) throw Failure{doc.owner + " has no account"};
  if (!store.AddDocument(g.gid, doc)) throw Failure{"the group has a document named " + doc.name + " already"};
}

void Hotlist(ZaStoreAdmin& store, const Args& a) {
  if (a.words.size() < 2 || a.words[1] != "add") throw ZaStoreUsageError{"hotlist needs add"};
  a.Expect(3, {"--person", "--group"});
  if (a.Has("--person") == a.Has("--group")) throw ZaStoreUsageError{"give one of --person and --group"};
  bool group = a.Has("--group");
  std::string target = a.Get(group ? "--group" : "--person");
  if (!store.AccountExists(a.words[2])) throw Failure{a.words[2] + " has no account"};
  if (!store.AddToHotlist(a.words[2], group, target)) throw Failure{(group ? "no group " : "no person ") + target};
}

void Usage(ZaStoreAdmin& store, const Args& a) {
  const std::string& verb = a.words.size() > 1 ? a.words[1] : "";
  if (verb == "rescan") {
    a.Expect(2, {});
    store.RescanUsage();
    return;
  }
  if (verb != "add") throw ZaStoreUsageError{"usage needs add or rescan"};
  a.Expect(3, {"--user", "--group"});
  if (a.Has("--user") == a.Has("--group")) throw ZaStoreUsageError{"give one of --user and --group"};
  bool group = a.Has("--group");
  std::string id = a.Get(group ? "--group" : "--user");
  long bytes = Number(a.words[2], "BYTES");
  if (!store.AddUsageFile(group, id, bytes)) throw Failure{(group ? "no group " : "no account for ") + id};
}

void Seed(ZaStoreAdmin& store, const Args& a) {
  a.Expect(1, {"--people", "--groups", "--noncurrent", "--seed"});
  long people = Number(a.Get("--people", true), "--people");
  long groups = Number(a.Get("--groups", true), "--groups");
  long nonCurrent = a.Has("--noncurrent") ? Number(a.Get("--noncurrent"), "--noncurrent") : 0;
  unsigned long seed = a.Has("--seed") ? Number(a.Get("--seed"), "--seed") : 1;
  if (people < 2 && groups > 0) throw ZaStoreUsageError{"groups need at least two people"};
  // The whole directory is built in memory before it is written.
  const long kMost = 10000000;
  if (people + nonCurrent > kMost || groups > kMost)
    throw ZaStoreUsageError{"seed makes at most " + std::to_string(kMost) + " accounts and as many groups"};
  ZaStoreBulkData data;
  ZaStoreGenerate(people, groups, nonCurrent, seed, &data);
  store.BulkLoad(&data);
  std::cout << "seeded " << people << " people, " << nonCurrent << " non-current accounts, " << groups
            << " groups\n";
}

void List(ZaStoreAdmin& store, const Args& a) {
  a.Expect(2, {});
  const std::string& what = a.words[1];
  if (what == "people") {
    for (const ZaStorePerson& p : store.People()) std::cout << p.uid << '\t' << p.name << '\t' << p.email << '\n';
  } else if (what == "accounts") {
    for (const ZaStoreAccount& acc : store.Accounts())
      std::cout << acc.uid << '\t' << acc.login << '\t' << (acc.admin ? "admin" : "-") << '\t'
                << (acc.current ? "current" : "non-current") << '\n';
  } else if (what == "groups") {
    for (const ZaStoreGroup& g : store.Groups()) {
      std::cout << g.gid << '\t' << g.name << '\t' << g.owner << '\t' << (g.shared ? "shared" : "private") << '\t';
      for (size_t i = 0; i < g.members.size(); ++i) std::cout << (i ? "," : "") << g.members[i];
      std::cout << '\n';
    }
  } else {
    throw ZaStoreUsageError{"list needs people, accounts or groups"};
  }
}

// The message that explains an error: the user's if there is one, else the first cause.
std::string Explain(ZaError* e) {
  if (e->userMessages.head && e->userMessages.head->value) return e->userMessages.head->value;
  return e->lines.tail && e->lines.tail->value ? e->lines.tail->value : "unknown error";
}

int Run(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
      std::cout << kUsage;
      return 0;
    }
  Args a(argc, argv);
  if (a.words.empty()) throw ZaStoreUsageError{"no command"};
  std::string top = a.Get("--top");
  if (top.empty()) throw ZaStoreUsageError{"--top DIR is required"};
  const std::string& command = a.words[0];
  if (command == "init") {
    a.Expect(1, {"--demo-employees"});
    Init(top, a.Has("--demo-employees"));
    return 0;
  }
  if (command == "sql-settings") {
    a.Expect(1, {"--server", "--database", "--user", "--table", "--key", "--env"});
    std::string server = a.Get("--server", true), database = a.Get("--database", true), user = a.Get("--user", true),
                table = a.Get("--table", true), key = a.Get("--key", true), env = a.Get("--env");
    for (const std::string* text : {&server, &database, &user, &table, &key, &env}) CheckText(*text, "a setting");
    std::string password = ReadPassword();
    SQLInfoRec info{};
    info.dbServer = &server[0];
    info.dbEnv = env.empty() ? nullptr : &env[0];
    info.userName = &user[0];
    info.userPasswd = &password[0];
    info.dbName = &database[0];
    info.primaryKey = &key[0];
    info.empTbl = &table[0];
    ZaStoreWriteSqlSettings(top, &info);
    return 0;
  }
  static const char* const commands[] = {"person", "account", "group", "document", "hotlist", "usage", "seed", "list"};
  bool known = false;
  for (const char* c : commands) known = known || command == c;
  if (!known) throw ZaStoreUsageError{"unknown command " + command};
  Installation inst(top);
  ZaStoreAdmin& store = **inst.store;
  if (!store.IsInitialised())
    throw Failure{"no store in " + store.Location() + "; run \"zastore init --top " + top + "\" first"};
  if (command == "person") Person(store, a);
  if (command == "account") Account(store, a);
  if (command == "group") Group(store, a);
  if (command == "document") Document(store, a);
  if (command == "hotlist") Hotlist(store, a);
  if (command == "usage") Usage(store, a);
  if (command == "seed") Seed(store, a);
  if (command == "list") List(store, a);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const ZaStoreUsageError& u) {
    std::cerr << "zastore: " << u.message << "\n" << kUsage;
    return 2;
  } catch (const Failure& f) {
    std::cerr << "zastore: " << f.message << "\n";
    return 1;
  } catch (ZaError* e) {
    std::cerr << "zastore: " << Explain(e) << "\n";
    delete e;
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "zastore: " << e.what() << "\n";
    return 1;
  }
}
