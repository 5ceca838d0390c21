// Document list files: read, looked up, written and read again; the second
// reading must give as many records as were written.
#include <cstdint>
#include <cstdio>

#include "fuzz_file.h"
#include "zadocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = WriteFuzzFile("docs.lst", data, size);
    try {
        ZaDocumentObjList list;
        list.Read(&path[0]);
        if (list.head) {
            if (!list.Lookup(list.head->name) && list.head->name) __builtin_trap();
            delete list.head->Copy();
        }
        std::string again = WriteFuzzFile("again.lst", "", 0);
        list.Write(&again[0]);
        ZaDocumentObjList back;
        back.Read(&again[0]);
        if (back.count != list.count) __builtin_trap();
    } catch (ZaError* e) {
        delete e;
    }
    return 0;
}
