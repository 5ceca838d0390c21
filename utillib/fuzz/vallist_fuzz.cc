// Value-list and name-list files: both readers, with and without a header,
// over the same bytes; what the name-list reader kept is written and read back.
#include <cstdint>
#include <initializer_list>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "vallist.h"

namespace {

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File Open(const uint8_t* data, size_t size) {
    // fmemopen refuses an empty buffer; an empty file is the same as no bytes.
    static char empty;
    return File(size ? fmemopen(const_cast<uint8_t*>(data), size, "r") : fmemopen(&empty, 0, "r"));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The name-list reader reports bad files on standard output.
    return freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (ZaBoolean header : {ZaTrue, ZaFalse}) {
        ValList values;
        File in = Open(data, size);
        if (!in) return 0;
        try {
            values.Read(in.get(), header);
        } catch (ZaError* e) {
            delete e;
        }

        ValNameList names;
        in = Open(data, size);
        if (!in) return 0;
        names.Read(in.get(), header);
        char* written = nullptr;
        size_t writtenSize = 0;
        File out(open_memstream(&written, &writtenSize));
        if (!out) return 0;
        names.Write(out.get());
        out.reset();
        std::unique_ptr<char, void (*)(void*)> owned(written, free);
        ValNameList again;
        in = Open(reinterpret_cast<const uint8_t*>(written), writtenSize);
        if (in) again.Read(in.get(), ZaTrue);
    }
    return 0;
}
