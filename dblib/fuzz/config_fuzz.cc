// The configuration file: read, every typed setting asked for, written back
// and read again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_file.h"
#include "zaconfigDB.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The name-list reader reports bad files on standard output.
    return freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = WriteFuzzFile("configInfo.lst", data, size);
    try {
        ZaConfigDB config(path.c_str());
        config.DefaultStyle();
        config.LogLevel();
        config.PhotoStyle();
        config.SMTPServerPort();
        config.LDAPServerPort();
        config.UserSessionTimeOut();
        config.WebAdminSessionTimeOut();
        config.DBFormat(ZA_EMP_DIR_DB);
        config.DBFormat(ZA_PROJ_DB);
        SQLInfoRec sql = {};
        config.GetSQLInfo(&sql);
        free(config.FindMimeType("html"));
        config.WriteValue("fuzz", "x=0A=\ny", ZaTrue);
        config.WriteToFile();
        ZaConfigDB again(path.c_str());
        again.ReadFromFile();
    } catch (ZaError* e) {
        delete e;
    }
    return 0;
}
