// A private file for the data-layer fuzz programs: each run writes its input
// there, in a folder made once per process.
#ifndef ZA_FUZZ_FILE_H
#define ZA_FUZZ_FILE_H

#include <cstdio>
#include <cstdlib>
#include <string>

inline std::string WriteFuzzFile(const char* name, const void* data, size_t size) {
    static const std::string folder = [] {
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zafuzzXXXXXX";
        return std::string(mkdtemp(&pattern[0]) ? pattern.c_str() : "/tmp");
    }();
    std::string path = folder + "/" + name;
    if (FILE* f = fopen(path.c_str(), "wb")) {
        fwrite(data, 1, size, f);
        fclose(f);
    }
    return path;
}

#endif
