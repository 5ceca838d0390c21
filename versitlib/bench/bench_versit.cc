// Generates a vCard file of many cards and reports time and peak memory of
// indexing it in file order, indexing it by name, and searching all of it.
// Each phase runs in a child process of its own, so that its peak resident
// size is its own and not that of an earlier phase.
// Usage: bench_versit [cards] [work directory]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vallist.h"
#include "vcard.h"
#include "versit.h"
#include "zaerror.h"

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void WriteCards(const std::string& path, int n) {
    FILE* f = fopen(path.c_str(), "w");
    if (f == nullptr) {
        perror(path.c_str());
        exit(1);
    }
    std::string note(120, 'n');  // longer than one 80-character read
    for (int i = 0; i < n; ++i) {
        VCard card;
        const std::string id = "user" + std::to_string(i);
        card.AddEntry(VCardPropUid, id.c_str());
        const std::string family = "Family" + std::to_string((i * 7919LL) % n);  // names out of file order
        card.AddEntry(VCardPropN, (family + ";Given;;;").c_str());
        card.AddEntry(VCardPropFn, ("Given " + family).c_str());
        card.AddEntry((new VCardEntry(VCardPropTel, "+1 555 0100"))->AddSubType(VCardKindType, VCardTypeWork));
        card.AddEntry(VCardPropEmail, (id + "@example.com").c_str());
        card.AddEntry(VCardPropNote, (note + "\nsecond line").c_str());
        card.Print(f);
    }
    fclose(f);
}

void PrintError(ZaError* e) {
    for (ValListItem* line = e->lines.head; line != nullptr; line = line->next) fprintf(stderr, "%s\n", line->value);
    delete e;
}

void DeleteChain(VCard* card) {
    while (card != nullptr) {
        VCard* following = card->next;
        delete card;
        card = following;
    }
}

// Runs one phase in a child process; false when it failed.
template <typename F>
bool Phase(const char* name, F run) {
    fflush(stdout);
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        const long before = PeakKilobytes();
        const auto start = std::chrono::steady_clock::now();
        try {
            run();
        } catch (ZaError* e) {
            PrintError(e);
            _exit(1);
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        printf("%-28s %8.3f s   peak RSS %7ld KB (at start %ld KB)\n", name, took.count(), PeakKilobytes(), before);
        fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? atoi(argv[1]) : 100000;
    const char* tmp = getenv("TMPDIR");
    const std::string dir = argc > 2 ? argv[2] : (tmp != nullptr ? tmp : "/tmp");
    const std::string cardsPath = dir + "/bench_versit_cards.vcf";
    const std::string indexPath = dir + "/bench_versit_cards.idx";
    const std::string sortedPath = dir + "/bench_versit_cards_fn.idx";

    bool ok = Phase("generate file", [&] { WriteCards(cardsPath, n); });
    ok = ok && Phase("IndexFile", [&] {
        VersitFile f;
        f.Open(cardsPath.c_str(), ZaTrue);
        f.IndexFile(indexPath.c_str(), nullptr, nullptr);
    });
    ok = ok && Phase("IndexFileOn FN", [&] {
        VersitFile f;
        f.Open(cardsPath.c_str(), ZaTrue);
        f.IndexFileOn(sortedPath.c_str(), VCardPropFn, nullptr, nullptr);
    });
    ok = ok && Phase("Search all, few matches", [&] {
        VersitFileWithIndex f;
        f.OpenWithIndex(cardsPath.c_str(), sortedPath.c_str(), ZaTrue);
        ValList words;
        words.Append("Family1234");
        VCardEntry field(VCardPropFn, "Name");
        char* cursor = nullptr;
        int found = 0;
        DeleteChain(f.Search(&words, &found, -1, &cursor, &field, nullptr));
        free(cursor);
        printf("  %d matches\n", found);
    });
    ok = ok && Phase("Search all in pages of 50", [&] {
        VersitFileWithIndex f;
        f.OpenWithIndex(cardsPath.c_str(), indexPath.c_str(), ZaTrue);
        ValList words;
        words.Append("example");
        VCardEntry field(VCardPropEmail, "E-mail");
        char* cursor = nullptr;
        int found = 0;
        int pages = 0;
        do {
            int count = 0;
            char* from = cursor;
            DeleteChain(f.Search(&words, &count, 50, &cursor, &field, nullptr));
            free(from);
            found += count;
            ++pages;
        } while (cursor != nullptr);
        printf("  %d matches in %d pages\n", found, pages);
    });
    if (getenv("BENCH_VERSIT_KEEP") == nullptr) {
        remove(cardsPath.c_str());
        remove(indexPath.c_str());
        remove(sortedPath.c_str());
    }
    return ok ? 0 : 1;
}
