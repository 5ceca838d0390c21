// Versit files with an index: the input is a card file and, after the first
// NUL byte, its index file. Cards are fetched by every indexed UID, searched
// page by page (from the file and from memory), and the file is indexed anew.
#include <cstdint>
#include <initializer_list>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_files.h"
#include "versit.h"

namespace {

void SearchAllPages(VersitFileWithIndex& file, const ValList& words, const VCardEntry* field,
                    const VCard* fields) {
    // The cursor stays ours when a page throws, so it is held until then.
    std::unique_ptr<char, void (*)(void*)> from(nullptr, free);
    for (int page = 0; page < 8; ++page) {
        int count = 0;
        char* cursor = from.get();
        DeleteCards(file.Search(&words, &count, 2, &cursor, field, fields));
        from.reset(cursor);
        if (count > 2) __builtin_trap();
        if (!cursor) break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const char* nul = static_cast<const char*>(memchr(text, '\0', size));
    const size_t cardSize = nul ? static_cast<size_t>(nul - text) : size;
    const std::string cards = WriteFuzzFile("cards.vcf", text, cardSize);
    const std::string index = nul ? WriteFuzzFile("cards.idx", nul + 1, size - cardSize - 1)
                                  : WriteFuzzFile("cards.idx", "", 0);
    ValList words;
    words.Append("a");
    VCardEntry field(VCardPropFn, "Name");
    VCard fields;
    fields.AddEntry(VCardPropFn, "Name");
    fields.AddEntry(VCardPropEmail, "Mail");
    try {
        for (bool inMemory : {false, true}) {
            VersitFileWithIndex file;
            if (file.OpenWithIndex(cards.c_str(), index.c_str(), ZaTrue) != ZaTrue) return 0;
            if (inMemory) file.ReadInAllCards();
            int fetched = 0;
            for (ValNameListItem* item = file.index->head; item && fetched < 32; item = item->next, ++fetched)
                delete file.GetVCard(item->name);
            SearchAllPages(file, words, inMemory ? &field : nullptr, &fields);
        }
        VersitFile plain;
        if (plain.Open(cards.c_str(), ZaTrue) != ZaTrue) return 0;
        plain.IndexFile((FuzzFolder() + "/new.idx").c_str(), nullptr, nullptr);
        plain.IndexFileOn((FuzzFolder() + "/new.idx").c_str(), VCardPropFn, nullptr, nullptr);
    } catch (ZaError* e) {
        delete e;
    }
    return 0;
}
