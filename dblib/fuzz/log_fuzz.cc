// Log files read back and filtered as the log page filters them: by level
// name and by the age of each record's time stamp.
#include <cstdint>
#include <ctime>
#include <memory>
#include <strings.h>

#include "fuzz_file.h"
#include "zalog.h"
#include "zatime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = WriteFuzzFile("zalogfile", data, size);
    ZaLog log("fuzz", ZA_INFO, path.c_str());
    std::unique_ptr<LogRecord> records;
    try {
        records.reset(log.ReadLogFile(nullptr));
    } catch (ZaError* e) {
        delete e;
        return 0;
    }
    long kept = 0;
    for (LogRecord* r = records.get(); r; r = r->next) {
        if (r->level && strcasecmp(r->level, "Error") == 0) ++kept;
        struct tm parsed;
        if (r->time && ZaTime::ZaStrpTime(r->time, &parsed) == 1 && mktime(&parsed) >= 0) ++kept;
    }
    return kept < 0;
}
