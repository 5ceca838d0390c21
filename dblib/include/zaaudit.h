// The audit trail: one line per login, logout and console action, appended
// to "audit.log" beside the shared log whatever the shared log's level, and
// the making of log lines that no request text can forge or split.
#ifndef ZAAUDIT_H
#define ZAAUDIT_H

#include <string>

#include "zaerror.h"

// The longest line, line feed included, that the log reader takes as one record.
inline constexpr size_t kLogLineLimit = 1023;

// "time:application:level:message\n" with every control byte but the tab
// replaced by a blank, cut so that the whole line fits kLogLineLimit. Null
// fields count as empty.
std::string ZaLogLine(const char* time, const char* application, const char* level, const char* message);

// What one audited event was about. Every text may be null.
struct ZaAuditEntry {
    const char* operatorId;  // who acted (the login name tried, for a failed login)
    const char* address;     // the client's address
    const char* action;      // "login", "logout" or the event's name
    const char* target;      // what the action was done to
    const char* outcome;     // "ok", "failed", "refused: <why>" ...
};

// The audit log that belongs to the shared log at logFile: same folder,
// named "audit.log". A new std::string.
std::string ZaAuditLogPath(const char* logFile);

// Appends one line to the audit log of logFile (created 0640 or narrower)
// under its exclusive lock file: the time, application and "ZA_AUDIT", then
// the entry's fields separated by tabs (a tab inside a field becomes a blank).
// ZaFalse when the file could not be written; lock failures raise a ZaError.
ZaBoolean ZaAuditRecord(const char* logFile, const char* application, const ZaAuditEntry& entry);

#endif
