// zastore SUBCOMMAND ... --top DIR: every subcommand checks its whole input
// before it changes anything and exits non-zero with a message on failure.
#include "zastore.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include "fdbpasswd.h"
#include "fdbrecords.h"
#include "fdbstore.h"
#include "fdbuserdb.h"
#include "vcard.h"
#include "versit.h"
#include "zafile.h"
#include "zalock.h"

namespace {

const char kUsage[] =
    "usage: zastore COMMAND --top DIR\n"
    "  init\n"
    "  person import FILE.vcf | person add UID --name \"FULL NAME\" [--email ADDR] | person remove UID\n"
    "  account add UID LOGIN [--admin]   (password: one line on standard input)\n"
    "  account passwd UID                (password: one line on standard input)\n"
    "  group add GID NAME --owner UID [--shared] [--member UID]... | group member GID UID\n"
    "  document add GID NAME [--owner UID] [--description TEXT]\n"
    "  hotlist add UID (--person UID2 | --group GID)\n"
    "  usage add (--user UID | --group GID) BYTES | usage rescan\n"
    "  seed --people N --groups M [--noncurrent K] [--seed S]\n"
    "  list (people|accounts|groups)\n";

// The command line split into words and --options (an option takes the next
// word as its value unless it is a flag).
struct Args {
  std::vector<std::string> words;
  std::vector<std::pair<std::string, std::string>> options;

  Args(int argc, char** argv) {
    static const char* const flags[] = {"--admin", "--shared"};
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

// Names and descriptions end up in one-line records and card lines: control
// characters (line ends, tabs) in them are refused rather than mangled.
void CheckText(const std::string& text, const char* what) {
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f) throw ZaStoreUsageError{std::string(what) + " must not hold control characters"};
}

void CheckId(const std::string& id, const char* what) {
  if (!FdbValidId(id))
    throw ZaStoreUsageError{std::string("invalid ") + what + " \"" + id +
                            "\" (1 to 64 letters, digits, '.', '_', '-', '@')"};
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

// The store's folder: "FileDBDir" of the installation's configuration, else TOP/data.
std::string DataDir(const std::string& top) {
  std::string config = top + "/config/configInfo.lst";
  ValNameList settings;
  if (ZaCheckIfFile(config.c_str()) == ZaTrue) {
    ZaLockFileGuard lock((config + ".lck").c_str(), ZaSharedLock);
    settings.Read(config.c_str());
  }
  ValNameListItem* item = settings.Lookup(kFdbDirKey);
  if (!item || !item->value || !*item->value) return top + "/data";
  return item->value[0] == '/' ? item->value : top + "/" + item->value;
}

void Init(const std::string& top) {
  for (const std::string& d : {top, top + "/config", top + "/logs"})
    if (ZaMkdir(d.c_str(), 0755, ZaTrue) != ZaTrue) throw Failure{"cannot create the folder " + d};
  std::string dataDir = DataDir(top);
  if (ZaMkdir(dataDir.c_str(), 0755, ZaTrue) != ZaTrue) throw Failure{"cannot create the folder " + dataDir};
  FileDirStore(dataDir).Initialise();
  std::string setup = top + "/config/setup.lst";
  ZaLockFileGuard lock((setup + ".lck").c_str(), ZaExclusiveLock);
  ValNameList answers;
  answers.Read(setup.c_str());
  answers.Replace("status", "done");
  char* text = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&text, &length);
  if (!out) throw Failure{"out of memory"};
  answers.Write(out);
  fclose(out);
  std::string contents(text, length);
  free(text);
  FdbReplaceFile(setup, contents);  // never a half-written set-up file
  std::cout << "store ready in " << dataDir << "\n";
}

std::unique_ptr<FileDirStore> OpenStore(const std::string& top) {
  std::unique_ptr<FileDirStore> store(new FileDirStore(DataDir(top)));
  if (ZaCheckIfDirectory(store->DataDir().c_str()) != ZaTrue || !store->IsInitialised())
    throw Failure{"no store in " + store->DataDir() + "; run \"zastore init --top " + top + "\" first"};
  return store;
}

void Person(FileDirStore& store, const Args& a) {
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

void Account(FileDirStore& store, const Args& a) {
  const std::string& verb = a.words.size() > 1 ? a.words[1] : "";
  if (verb == "add") {
    a.Expect(4, {"--admin"});
    CheckId(a.words[2], "user ID");
    CheckId(a.words[3], "login name");
    if (!store.FindPerson(a.words[2], nullptr)) throw Failure{"no person " + a.words[2] + " in the directory"};
    if (store.FindAccount(a.words[2], nullptr)) throw Failure{a.words[2] + " has an account already"};
    if (store.FindAccountByLogin(a.words[3], nullptr)) throw Failure{"the login " + a.words[3] + " is taken"};
    std::string hash = FdbHashPassword(ReadPassword());
    if (!store.CreateAccount(a.words[2], a.words[3], a.Has("--admin"), hash))
      throw Failure{"the account could not be created (taken meanwhile?)"};
  } else if (verb == "passwd") {
    a.Expect(3, {});
    if (!store.FindAccount(a.words[2], nullptr)) throw Failure{a.words[2] + " has no account"};
    if (!store.SetPassword(a.words[2], ReadPassword())) throw Failure{a.words[2] + " has no account"};
  } else {
    throw ZaStoreUsageError{"account needs add or passwd"};
  }
}

void Group(FileDirStore& store, const Args& a) {
  const std::string& verb = a.words.size() > 1 ? a.words[1] : "";
  if (verb == "add") {
    a.Expect(4, {"--owner", "--shared", "--member"});
    FdbGroup g;
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

void Document(FileDirStore& store, const Args& a) {
  if (a.words.size() < 2 || a.words[1] != "add") throw ZaStoreUsageError{"document needs add"};
  a.Expect(4, {"--owner", "--description"});
  FdbGroup g;
  if (!store.FindGroup(a.words[2], &g)) throw Failure{"no group " + a.words[2]};
  CheckText(a.words[3], "the document name");
  CheckText(a.Get("--description"), "--description");
  FdbDocument doc{a.words[3], a.Get("--description"), a.Has("--owner") ? a.Get("--owner") : g.owner};
  if (!store.FindAccount(doc.owner, nullptr)) throw Failure{doc.owner + " has no account"};
  if (!store.AddDocument(g.gid, doc)) throw Failure{"the group has a document named " + doc.name + " already"};
}

void Hotlist(FileDirStore& store, const Args& a) {
  if (a.words.size() < 2 || a.words[1] != "add") throw ZaStoreUsageError{"hotlist needs add"};
  a.Expect(3, {"--person", "--group"});
  if (a.Has("--person") == a.Has("--group")) throw ZaStoreUsageError{"give one of --person and --group"};
  bool group = a.Has("--group");
  std::string target = a.Get(group ? "--group" : "--person");
  if (!store.FindAccount(a.words[2], nullptr)) throw Failure{a.words[2] + " has no account"};
  if (!store.AddToHotlist(a.words[2], group ? kFdbHotlistGroup : kFdbHotlistPerson, target))
    throw Failure{(group ? "no group " : "no person ") + target};
}

void Usage(FileDirStore& store, const Args& a) {
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

void Seed(FileDirStore& store, const Args& a) {
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
  FdbBulkData data;
  ZaStoreGenerate(people, groups, nonCurrent, seed, &data);
  store.BulkLoad(&data);
  std::cout << "seeded " << people << " people, " << nonCurrent << " non-current accounts, " << groups
            << " groups\n";
}

void List(FileDirStore& store, const Args& a) {
  a.Expect(2, {});
  const std::string& what = a.words[1];
  if (what == "people") {
    for (const FdbPerson& p : store.People()) std::cout << p.uid << '\t' << p.name << '\t' << p.email << '\n';
  } else if (what == "accounts") {
    for (const FdbAccount& acc : store.Accounts())
      std::cout << acc.uid << '\t' << acc.login << '\t' << (acc.admin ? "admin" : "-") << '\t'
                << (store.FindPerson(acc.uid, nullptr) ? "current" : "non-current") << '\n';
  } else if (what == "groups") {
    for (const FdbGroup& g : store.Groups()) {
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
  Args a(argc, argv);
  if (a.words.empty()) throw ZaStoreUsageError{"no command"};
  std::string top = a.Get("--top");
  if (top.empty()) throw ZaStoreUsageError{"--top DIR is required"};
  const std::string& command = a.words[0];
  if (command == "init") {
    a.Expect(1, {});
    Init(top);
    return 0;
  }
  static const char* const commands[] = {"person", "account", "group", "document", "hotlist", "usage", "seed", "list"};
  bool known = false;
  for (const char* c : commands) known = known || command == c;
  if (!known) throw ZaStoreUsageError{"unknown command " + command};
  std::unique_ptr<FileDirStore> store = OpenStore(top);
  if (command == "person") Person(*store, a);
  if (command == "account") Account(*store, a);
  if (command == "group") Group(*store, a);
  if (command == "document") Document(*store, a);
  if (command == "hotlist") Hotlist(*store, a);
  if (command == "usage") Usage(*store, a);
  if (command == "seed") Seed(*store, a);
  if (command == "list") List(*store, a);
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
