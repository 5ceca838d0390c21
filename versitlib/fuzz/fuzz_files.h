// Files for the versit fuzz programs: a private folder made once per process,
// into which each run writes its inputs.
#ifndef ZA_FUZZ_FILES_H
#define ZA_FUZZ_FILES_H

#include <cstdio>
#include <cstdlib>
#include <string>

#include "vcard.h"

inline const std::string& FuzzFolder() {
    static const std::string folder = [] {
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zafuzzXXXXXX";
        return std::string(mkdtemp(&pattern[0]) ? pattern.c_str() : "/tmp");
    }();
    return folder;
}

// Writes bytes to the file `name` of the private folder and returns its path.
inline std::string WriteFuzzFile(const char* name, const char* data, size_t size) {
    std::string path = FuzzFolder() + "/" + name;
    if (FILE* f = fopen(path.c_str(), "wb")) {
        fwrite(data, 1, size, f);
        fclose(f);
    }
    return path;
}

// Deletes a chain of cards linked by next.
inline void DeleteCards(VCard* card) {
    while (card) {
        VCard* next = card->next;
        delete card;
        card = next;
    }
}

#endif
