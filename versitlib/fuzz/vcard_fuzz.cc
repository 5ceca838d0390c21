// vCard text: every card of the input is read, printed, read back from its
// printed form and printed again; both prints must agree, so that a card
// written by the suite reads back as it was.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_files.h"
#include "versit.h"

namespace {

std::string Printed(const VCard* card) {
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    if (!out) return std::string();
    card->Print(out);
    fclose(out);
    std::string result(text, size);
    free(text);
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = WriteFuzzFile("cards.vcf", reinterpret_cast<const char*>(data), size);
    VersitFile file;
    if (file.Open(path.c_str(), ZaTrue) != ZaTrue) return 0;
    for (int n = 0; n < 64; ++n) {
        std::unique_ptr<VCard> card;
        try {
            card.reset(file.GetVCardFromFile());
        } catch (ZaError* e) {
            delete e;
            continue;
        }
        if (!card) break;
        free(card->Print(ZaFalse));
        free(card->Print(ZaTrue));
        for (VCardEntry* e = card->entries; e; e = e->next) {
            free(e->GetDisplayRep());
            free(e->GetNameAndSubTypes());
            free(e->FormatN());
            free(e->FormatAdr());
            free(e->FormatOrg());
            if (char** parts = e->FormatNArray()) {
                for (int i = 0; i < 5; ++i) free(parts[i]);
                free(parts);
            }
        }
        const std::string first = Printed(card.get());
        const std::string again = WriteFuzzFile("again.vcf", first.data(), first.size());
        VersitFile reread;
        if (reread.Open(again.c_str(), ZaTrue) != ZaTrue) continue;
        std::unique_ptr<VCard> back;
        try {
            back.reset(reread.GetVCardFromFile());
        } catch (ZaError* e) {
            delete e;
            __builtin_trap();  // a printed card must read back
        }
        if (!back || Printed(back.get()) != first) __builtin_trap();
    }
    return 0;
}
