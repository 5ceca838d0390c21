// The audit trail beside the shared log, and the one place where log lines
// are made safe: a request's text can neither start a line of its own nor
// make the reader split one record in two.
#include "zaaudit.h"

#include <fcntl.h>
#include <unistd.h>

#include "zalock.h"
#include "zaprivfile.h"
#include "zatime.h"

namespace {

const char kSource[] = "dblib/src/zaaudit";

// Control bytes (line breaks above all) become blanks; the tab stays, since
// the suite's own messages use it. A tab is dropped too when noTabs is set.
void AppendSafe(std::string& line, const char* text, bool noTabs) {
    for (const char* p = text ? text : ""; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        bool control = c < 0x20 || c == 0x7f;
        line += (control && (c != '\t' || noTabs)) ? ' ' : static_cast<char>(c);
    }
}

// The process's own descriptor closed on every path.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::string ZaLogLine(const char* time, const char* application, const char* level, const char* message) {
    std::string line;
    for (const char* field : {time, application, level}) {
        AppendSafe(line, field, true);
        line += ':';
    }
    AppendSafe(line, message, false);
    if (line.size() > kLogLineLimit - 1) line.resize(kLogLineLimit - 1);
    return line + '\n';
}

std::string ZaAuditLogPath(const char* logFile) {
    std::string folder = logFile ? logFile : "";
    size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : folder.substr(0, slash);
    return folder + "/audit.log";
}

ZaBoolean ZaAuditRecord(const char* logFile, const char* application, const ZaAuditEntry& entry) {
    std::string message;
    const char* fields[] = {entry.operatorId, entry.address, entry.action, entry.target, entry.outcome};
    for (size_t i = 0; i < sizeof fields / sizeof fields[0]; ++i) {
        if (i > 0) message += '\t';
        AppendSafe(message, fields[i] ? fields[i] : "-", true);
    }
    char now[100];
    ZaTime().GetCurrentTimeString(now, sizeof now);
    const std::string line = ZaLogLine(now, application, "ZA_AUDIT", message.c_str());
    const std::string path = ZaAuditLogPath(logFile);
    try {
        ZaLockFileGuard lock((path + ".lck").c_str(), ZaExclusiveLock);
        Descriptor out(ZaOpenPrivateFile(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0640));
        bool written = out.get() >= 0 &&
                       write(out.get(), line.data(), line.size()) == static_cast<ssize_t>(line.size());
        lock.Release();
        return written ? ZaTrue : ZaFalse;
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Unable to add the record to the audit log", ZaFalse);
        throw;
    }
}
