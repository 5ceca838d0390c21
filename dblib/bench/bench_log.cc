// Writes a log of many lines through a buffered log and reports the time and
// peak memory of reading it back into records, for the full count and for
// half of it, so that the growth of memory with the file can be seen.
// Each reading runs in a child process of its own, so that its peak resident
// size is its own. Usage: bench_log [lines] [work directory]
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vallist.h"
#include "zaerror.h"
#include "zalog.h"

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Lines of varied length, as real messages are, some with colons inside.
void WriteLog(const std::string& path, int lines) {
    unlink(path.c_str());
    ZaLog log("OperAdmin", ZA_INFO, path.c_str(), ZaTrue);
    for (int i = 0; i < lines; ++i) {
        std::string message = "user u" + std::to_string(i) + " deleted: " + std::string(i % 60, 'x');
        log.AddMsg(static_cast<ZaLogLevel>(i % 4), message.c_str());
    }
    log.Close();
}

// Reads the file in a child process; false when it failed or lost lines.
bool Read(const std::string& path, int lines) {
    fflush(stdout);
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        const long before = PeakKilobytes();
        const auto start = std::chrono::steady_clock::now();
        int count = 0;
        try {
            ZaLog log("bench", ZA_INFO, path.c_str());
            LogRecord* records = log.ReadLogFile(nullptr);
            for (LogRecord* r = records; r != nullptr; r = r->next) ++count;
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            const long peak = PeakKilobytes();
            delete records;
            struct stat st {};
            stat(path.c_str(), &st);
            printf("ReadLogFile %7d lines (%6lld KB file) %8.3f s   peak RSS %7ld KB (at start %ld KB)\n", count,
                   static_cast<long long>(st.st_size) / 1024, took.count(), peak, before);
        } catch (ZaError* e) {
            for (ValListItem* line = e->lines.head; line != nullptr; line = line->next)
                fprintf(stderr, "%s\n", line->value);
            delete e;
            _exit(1);
        }
        fflush(stdout);
        _exit(count == lines ? 0 : 2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? atoi(argv[1]) : 100000;
    const char* tmp = getenv("TMPDIR");
    const std::string dir = argc > 2 ? argv[2] : (tmp != nullptr ? tmp : "/tmp");
    const std::string path = dir + "/bench_log_" + std::to_string(getpid());
    bool ok = true;
    for (int lines : {n / 2, n}) {
        const auto start = std::chrono::steady_clock::now();
        WriteLog(path, lines);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        printf("buffered AddMsg + Close %7d lines %8.3f s\n", lines, took.count());
        ok = Read(path, lines) && ok;
    }
    unlink(path.c_str());
    unlink((path + ".lck").c_str());
    return ok ? 0 : 1;
}
