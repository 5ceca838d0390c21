// The failed-login table: kSlots slots of 64 bytes, a key hashed with
// SHA-256 to its home slot and kProbes slots after it. A key that finds no
// slot of its own takes the first free or stale one, else its home slot.
#include "zathrottle.h"

#include <fcntl.h>
#include <unistd.h>

#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "zaerror.h"
#include "zalock.h"
#include "zaprivfile.h"

namespace {

const char kSource[] = "zarvolib/src/zathrottle";
const long kSlots = 4096;
const int kProbes = 8;
const long kWindowSeconds = 15 * 60;
const long kFirstWaitSeconds = 30;
const long kLongestWaitSeconds = 15 * 60;

struct Slot {
    unsigned char key[32];  // SHA-256 of the key; all zero when free
    int64_t windowStart;    // time of the first failure counted
    int64_t waitUntil;      // no try before this time
    int32_t failures;
    char unused[12];
};
static_assert(sizeof(Slot) == 64, "the table's slots are 64 bytes");

[[noreturn]] void Raise(int line, const std::string& message) {
    ZaError* error = new ZaError();
    error->AddLine(line, kSource, message.c_str(), ZaFalse);
    throw error;
}

void HashKey(const std::string& key, unsigned char out[32]) {
    unsigned int length = 0;
    if (EVP_Digest(key.data(), key.size(), out, &length, EVP_sha256(), nullptr) != 1)
        Raise(__LINE__, "Unable to hash a login key");
}

// The table, locked exclusively and open for the life of the object.
class Table {
public:
    explicit Table(const std::string& path) : lock((path + ".lck").c_str(), ZaExclusiveLock) {
        fd = ZaOpenPrivateFile(path.c_str(), O_RDWR | O_CREAT, 0600);
        if (fd < 0) Raise(__LINE__, "Unable to open the login table " + path);
    }
    ~Table() { close(fd); }
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // The slot of the key (or the one it is to take) and its index.
    long Find(const unsigned char key[32], long now, Slot* slot) {
        uint64_t home = 0;
        memcpy(&home, key, sizeof home);
        long taken = -1;
        for (int probe = 0; probe < kProbes; ++probe) {
            long index = static_cast<long>((home + probe) % kSlots);
            Slot found = Read(index);
            if (memcmp(found.key, key, 32) == 0) {
                *slot = found;
                return index;
            }
            bool stale = found.failures == 0 ||
                         (now - found.windowStart > kWindowSeconds && found.waitUntil <= now);
            if (taken < 0 && stale) taken = index;
        }
        if (taken < 0) taken = static_cast<long>(home % kSlots);
        memset(slot, 0, sizeof *slot);
        memcpy(slot->key, key, 32);
        return taken;
    }
    void Write(long index, const Slot& slot) {
        if (pwrite(fd, &slot, sizeof slot, index * static_cast<off_t>(sizeof slot)) != sizeof slot)
            Raise(__LINE__, "Unable to write the login table");
    }

private:
    Slot Read(long index) {
        Slot slot;
        memset(&slot, 0, sizeof slot);
        // Beyond the end of the file every slot is free.
        if (pread(fd, &slot, sizeof slot, index * static_cast<off_t>(sizeof slot)) != sizeof slot)
            memset(&slot, 0, sizeof slot);
        return slot;
    }
    ZaLockFileGuard lock;
    int fd;
};

}  // namespace

ZaLoginThrottle::ZaLoginThrottle(const std::string& stateFile) : path(stateFile) {}

long ZaLoginThrottle::WaitFor(const std::string& key, long now) {
    unsigned char hash[32];
    HashKey(key, hash);
    Table table(path);
    Slot slot;
    table.Find(hash, now, &slot);
    return slot.waitUntil > now ? static_cast<long>(slot.waitUntil - now) : 0;
}

void ZaLoginThrottle::Failed(const std::string& key, int allowed, long now) {
    unsigned char hash[32];
    HashKey(key, hash);
    Table table(path);
    Slot slot;
    long index = table.Find(hash, now, &slot);
    if (slot.failures == 0 || now - slot.windowStart > kWindowSeconds) {
        slot.failures = 0;
        slot.windowStart = now;
    }
    ++slot.failures;
    if (slot.failures >= allowed) {
        int doublings = std::min(slot.failures - allowed, 10);
        slot.waitUntil = now + std::min(kFirstWaitSeconds << doublings, kLongestWaitSeconds);
    }
    table.Write(index, slot);
}

void ZaLoginThrottle::Succeeded(const std::string& key) {
    unsigned char hash[32];
    HashKey(key, hash);
    Table table(path);
    Slot slot;
    long index = table.Find(hash, 0, &slot);
    if (slot.failures == 0) return;
    memset(&slot, 0, sizeof slot);
    table.Write(index, slot);
}
