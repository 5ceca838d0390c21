// End-to-end test harness: installs the build's tree (`cmake --install`) into
// a fresh temporary folder, sets up its flat-file store with zastore, and runs
// DIR/web/admin/bin/operadmin.cgi the way a web server does: a CGI
// environment, the body on standard input, the working directory
// DIR/web/admin/bin, and the response read back from standard output (what
// it writes to standard error, such as sanitizer reports, comes back too).
//
//   E2EInstall& tree = E2EInstall::Shared();   // one tree per test binary
//   ASSERT_EQ(tree.Problem(), "");
//   tree.AddAccount("u1", "Ann Admin", "ann", "secret", true);
//   CgiResult r = tree.Run(CgiRequest::Post("login=ann&password=secret"));
//   EXPECT_EQ(r.Cookie("ZarvoIsWebmaster"), "TRUE");
//
// The temporary folder holds the tree in top/ and an empty sibling outside/,
// so a test can check that nothing was written beside the tree. Requests run
// with TMPDIR inside the tree and are killed after a minute.
#ifndef ZA_TESTS_E2E_HARNESS_H
#define ZA_TESTS_E2E_HARNESS_H

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

struct CgiRequest {
    std::string method = "GET";
    std::string query;        // QUERY_STRING
    std::string body;         // standard input
    std::string contentType;  // CONTENT_TYPE (POST)
    std::string cookies;      // HTTP_COOKIE
    std::string remoteUser;   // REMOTE_USER
    std::string userAgent;    // HTTP_USER_AGENT
    std::vector<std::string> extraEnv;  // further NAME=VALUE entries; each replaces a default of its name

    static CgiRequest Get(const std::string& query, const std::string& cookies = "") {
        CgiRequest r;
        r.query = query;
        r.cookies = cookies;
        return r;
    }
    static CgiRequest Post(const std::string& body, const std::string& query = "") {
        CgiRequest r;
        r.method = "POST";
        r.body = body;
        r.query = query;
        r.contentType = "application/x-www-form-urlencoded";
        return r;
    }
};

struct CgiResult {
    int status = -1;  // exit status; -1 when the program did not exit normally
    std::string out;  // everything written to standard output
    std::string err;  // everything written to standard error (sanitizer reports land here)

    std::string Headers() const { return out.substr(0, out.find("\n\n")); }
    std::string Body() const {
        size_t end = out.find("\n\n");
        return end == std::string::npos ? "" : out.substr(end + 2);
    }
    bool Contains(const std::string& text) const { return out.find(text) != std::string::npos; }
    // Values of the Set-Cookie headers by cookie name (the last one wins).
    std::map<std::string, std::string> Cookies() const {
        std::map<std::string, std::string> cookies;
        std::istringstream lines(Headers());
        const std::string prefix = "Set-Cookie: ";
        for (std::string line; std::getline(lines, line);) {
            if (line.compare(0, prefix.size(), prefix) != 0) continue;
            std::string pair = line.substr(prefix.size(), line.find(';') - prefix.size());
            size_t eq = pair.find('=');
            if (eq != std::string::npos) cookies[pair.substr(0, eq)] = pair.substr(eq + 1);
        }
        return cookies;
    }
    bool HasCookie(const std::string& name) const { return Cookies().count(name) > 0; }
    std::string Cookie(const std::string& name) const {
        auto cookies = Cookies();
        auto it = cookies.find(name);
        return it == cookies.end() ? "" : it->second;
    }
};

class E2EInstall {
public:
    // One installed tree shared by the tests of a binary; tests that change
    // its configuration put it back (RestoreConfig).
    static E2EInstall& Shared() {
        static E2EInstall tree;
        return tree;
    }

    E2EInstall() {
        namespace fs = std::filesystem;
        char pattern[] = "/tmp/za_e2e_XXXXXX";
        if (!mkdtemp(pattern)) {
            problem_ = "no temporary folder";
            return;
        }
        base_ = pattern;
        top_ = base_ / "top";
        fs::create_directories(base_ / "outside");
        fs::create_directories(top_ / "tmp");
        for (const char* built : {"bin/operadmin.cgi", "bin/zastore", "lib/zafiledblib_cgi.so"}) {
            if (!fs::exists(fs::path(ZA_BINARY_DIR) / built)) {
                problem_ = std::string("build ") + built + " first";
                return;
            }
        }
        std::string install = "cmake --install '" + std::string(ZA_BINARY_DIR) + "' --prefix '" +
                              top_.string() + "' > '" + (base_ / "install.log").string() + "' 2>&1";
        if (system(install.c_str()) != 0) {
            problem_ = "cmake --install failed; see " + (base_ / "install.log").string();
            return;
        }
        config_ = ReadText(ConfigFile());
        // The page tests speak the plain login cookies; the signed sessions
        // have tests of their own, which choose them with WriteConfig.
        const std::string installedMode = "sessionSecurity:ZA_SIGNED";
        size_t mode = config_.find(installedMode);
        if (mode != std::string::npos) config_.replace(mode, installedMode.size(), "sessionSecurity:ZA_PLAIN");
        RestoreConfig();
        if (Zastore({"init"}) != 0) problem_ = "zastore init failed";
    }
    ~E2EInstall() {
        if (!base_.empty()) std::filesystem::remove_all(base_);
    }
    E2EInstall(const E2EInstall&) = delete;
    E2EInstall& operator=(const E2EInstall&) = delete;

    // Empty when the tree is ready, else why not.
    const std::string& Problem() const { return problem_; }
    const std::filesystem::path& Top() const { return top_; }
    std::filesystem::path Outside() const { return base_ / "outside"; }
    std::filesystem::path BinDir() const { return top_ / "web" / "admin" / "bin"; }
    std::filesystem::path ConfigFile() const { return top_ / "config" / "configInfo.lst"; }
    std::filesystem::path LogFile() const { return top_ / "logs" / "zalogfile"; }

    // Runs zastore on this tree; input goes to its standard input. Returns its exit status.
    int Zastore(const std::vector<std::string>& args, const std::string& input = "") {
        std::vector<std::string> argv = {(top_ / "bin" / "zastore").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.push_back("--top");
        argv.push_back(top_.string());
        return Spawn(argv, {}, top_.string(), input, nullptr);
    }
    // A person, and an account for them; each is added once per tree, so
    // later calls for the same id do nothing.
    void AddAccount(const std::string& uid, const std::string& name, const std::string& login,
                    const std::string& password, bool admin) {
        AddPerson(uid, name);
        if (!accounts_.insert(uid).second) return;
        std::vector<std::string> args = {"account", "add", uid, login};
        if (admin) args.push_back("--admin");
        Zastore(args, password + "\n");
    }
    void AddPerson(const std::string& uid, const std::string& name) {
        if (people_.insert(uid).second) Zastore({"person", "add", uid, "--name", name});
    }

    // The installed settings with `lines` ("name:value\n"...) put in place of
    // the installed lines of the same names.
    void WriteConfig(const std::string& lines) {
        std::set<std::string> replaced;
        std::istringstream added(lines);
        for (std::string line; std::getline(added, line);) replaced.insert(Key(line));
        std::istringstream installed(config_);
        std::string text;
        for (std::string line; std::getline(installed, line);) {
            if (line == "END:vNameList") text += lines;
            if (!replaced.count(Key(line))) text += line + "\n";
        }
        std::ofstream(ConfigFile(), std::ios::trunc) << text;
    }
    void RestoreConfig() { std::ofstream(ConfigFile(), std::ios::trunc) << config_; }

    std::string ReadLog() const { return ReadText(LogFile()); }

    // One request through the installed program.
    CgiResult Run(const CgiRequest& request) {
        std::vector<std::string> env = {
            "REQUEST_METHOD=" + request.method, "QUERY_STRING=" + request.query,
            "SCRIPT_NAME=/admin/bin/operadmin.cgi", "SERVER_NAME=localhost", "SERVER_PORT=80",
            "HTTP_USER_AGENT=" + request.userAgent, "HTTP_COOKIE=" + request.cookies,
            "REMOTE_USER=" + request.remoteUser,
            "CONTENT_LENGTH=" + std::to_string(request.body.size()),
            "TMPDIR=" + (top_ / "tmp").string(), "PATH=/usr/bin:/bin"};
        if (!request.contentType.empty()) env.push_back("CONTENT_TYPE=" + request.contentType);
        for (const char* pass : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
            if (const char* v = getenv(pass)) env.push_back(std::string(pass) + "=" + v);
        for (const std::string& extra : request.extraEnv) {
            const std::string name = extra.substr(0, extra.find('=') + 1);
            env.erase(std::remove_if(env.begin(), env.end(),
                                     [&](const std::string& e) { return e.compare(0, name.size(), name) == 0; }),
                      env.end());
            env.push_back(extra);
        }
        CgiResult result;
        result.status = Spawn({(BinDir() / "operadmin.cgi").string()}, env, BinDir().string(),
                              request.body, &result.out, &result.err);
        return result;
    }

    static std::string ReadText(const std::filesystem::path& path) {
        std::stringstream content;
        content << std::ifstream(path, std::ios::binary).rdbuf();
        return content.str();
    }

private:
    static std::string Key(const std::string& line) {
        std::string key = line.substr(0, line.find(':'));
        for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return key;
    }

    // Runs argv in dir with env (the parent's environment when empty), input on
    // standard input, standard output captured into *out and standard error
    // into *err (each dropped when null).
    int Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
              const std::string& dir, const std::string& input, std::string* out,
              std::string* err = nullptr) {
        const std::string in = (base_ / "stdin").string(), output = (base_ / "stdout").string(),
                          errors = (base_ / "stderr").string();
        std::ofstream(in, std::ios::binary | std::ios::trunc) << input;
        pid_t pid = fork();
        if (pid == 0) {
            int fdIn = open(in.c_str(), O_RDONLY);
            int fdOut = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int fdErr = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int fdNull = open("/dev/null", O_WRONLY);
            if (fdIn < 0 || fdOut < 0 || fdErr < 0 || fdNull < 0 || chdir(dir.c_str()) != 0) _exit(126);
            dup2(fdIn, 0);
            dup2(fdOut, 1);
            if (!out) dup2(fdNull, 1);
            dup2(err ? fdErr : fdNull, 2);
            alarm(60);  // a hung program is killed, and the test goes on
            std::vector<char*> args, envp;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
            envp.push_back(nullptr);
            if (env.empty())
                execv(args[0], args.data());
            else
                execve(args[0], args.data(), envp.data());
            _exit(127);
        }
        int wait = 0;
        int status = -1;
        if (pid > 0 && waitpid(pid, &wait, 0) == pid && WIFEXITED(wait)) status = WEXITSTATUS(wait);
        if (out) *out = ReadText(output);
        if (err) *err = ReadText(errors);
        return status;
    }

    std::filesystem::path base_, top_;
    std::string config_;
    std::string problem_;
    std::set<std::string> people_, accounts_;
};

#endif
