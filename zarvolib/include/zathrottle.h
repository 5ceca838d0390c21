// Back-off for failed logins, per login name and per client address. The
// counts live in a fixed table file (one 64-byte slot per key, found by a
// hash of the key), read and written under its lock file: a few reads and
// one write per login, whatever the number of names and addresses.
#ifndef ZATHROTTLE_H
#define ZATHROTTLE_H

#include <string>

// Failures are counted over a window of 15 minutes from the first one. Once a
// key has `allowed` failures in its window, it must wait 30 seconds, doubled
// with each further failure, at most 15 minutes, before its next try.
class ZaLoginThrottle {
public:
    // stateFile: the table (created 0600); its lock file is stateFile + ".lck".
    explicit ZaLoginThrottle(const std::string& stateFile);

    // Seconds the key must still wait before a try (0: it may try now).
    long WaitFor(const std::string& key, long now);
    // Counts a failed try of the key; starts a wait once it has `allowed` failures.
    void Failed(const std::string& key, int allowed, long now);
    // Forgets the key's failures.
    void Succeeded(const std::string& key);

private:
    std::string path;
};

#endif
