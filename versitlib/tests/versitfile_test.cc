// Versit files: reading card by card, malformed cards, round trips, the card
// index in file order and sorted, paged searches, and arbitrary input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "vcard.h"
#include "versit.h"
#include "versit_test_util.h"

namespace {

class VersitFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/versitfile_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        for (const char* name : {"a.vcf", "a.idx"}) unlink((dir + "/" + name).c_str());
        rmdir(dir.c_str());
    }
    std::string Write(const std::string& text) {
        std::ofstream(dir + "/a.vcf", std::ios::binary) << text;
        return dir + "/a.vcf";
    }
    std::string IndexText() { return (std::stringstream() << std::ifstream(IndexPath()).rdbuf()).str(); }
    std::string IndexPath() { return dir + "/a.idx"; }
    std::string dir;
};

std::string Card(const std::string& uid, const std::string& fn) { return "BEGIN:vCard\nUID:" + uid + "\nFN:" + fn + "\nEND:vCard\n"; }

std::vector<std::string> TakeUids(VCard* chain) {
    std::vector<std::string> uids;
    for (std::unique_ptr<VCard> c(chain); c; c.reset(c->next)) uids.push_back(c->GetEntry(VCardPropUid)->value);
    return uids;
}

}  // namespace

TEST_F(VersitFileTest, ReadsCardByCard) {
    const std::string path = Write("BEGIN:vCard\nFN:A\nADR:;;1 Main St;Town\nX-OTHER:dropped\nEND:vCard\n\n"
                                   "NOTE:before begin\nBEGIN:VCARD\nORG:Acme;Sales\nend:vcard\nBEGIN:vCard\nFN:B\nNOTE:x=0A=\n");
    for (ZaBoolean keep : {ZaFalse, ZaTrue}) {
        VersitFile f;
        ASSERT_EQ(f.Open(path.c_str(), keep), ZaTrue);
        std::unique_ptr<VCard> a(f.GetVCardFromFile()), b(f.GetVCardFromFile());
        ASSERT_TRUE(a && b);
        EXPECT_EQ(f.GetVCardFromFile(), nullptr);  // the file ends inside the third card
        EXPECT_EQ(Describe(*a), keep == ZaTrue ? "9=A|2=;;1 Main St;Town|" : "9=A|2=  1 Main St Town   |");
        EXPECT_EQ(Describe(*b), keep == ZaTrue ? "17=before begin|3=Acme;Sales|" : "17=before begin|3=Acme Sales|");
        EXPECT_EQ(f.lineNumber, 12);
    }
    VersitFile missing;
    EXPECT_EQ(missing.Open((dir + "/none.vcf").c_str(), ZaTrue), ZaFalse);
    EXPECT_EQ(missing.GetVCardFromFile(), nullptr);
}

// A value folded over many lines, and a card of many lines, read whole
// (their reading time is measured by the versit benchmark).
TEST_F(VersitFileTest, LongValuesAndLongCardsReadWhole) {
    std::string text = "BEGIN:vCard\nNOTE:start=0A=\n";
    for (int i = 0; i < 40000; ++i) text += " 16 characters..=0A=\n";
    text += " end\n";
    for (int i = 0; i < 100000; ++i) text += "TEL;WORK:1\n";
    VersitFile f;
    ASSERT_EQ(f.Open(Write(text + "END:vCard\n").c_str(), ZaTrue), ZaTrue);
    std::unique_ptr<VCard> card(f.GetVCardFromFile());
    ASSERT_TRUE(card);
    EXPECT_EQ(strlen(card->entries->value), 640009u);
    EXPECT_EQ(card->GetNumEntries(), 100001);
}

TEST_F(VersitFileTest, MalformedCardsNameTheirLine) {
    struct Case {
        const char* text;
        const char* message;
        int line;
    } cases[] = {
        {"BEGIN:vCard\nFN:A\n\n  \nBEGIN:vCard\n", "BEGIN within a BEGIN not allowed in a versit card", 3},
        {"FN:A\nEND:vCard\n", "BEGIN not found in versit card", 2},
        {"BEGIN:vCard\nFN A\n", "No ':' character found on line", 2},
        {"BEGIN:vCard\nNOTE:x=0A=\n more\nBOGUS:1\n", "Bad format for property name", 4},
    };
    for (const Case& c : cases) {
        VersitFile f;
        ASSERT_EQ(f.Open(Write(c.text).c_str(), ZaTrue), ZaTrue);
        std::unique_ptr<ZaError> e(Thrown([&] { delete f.GetVCardFromFile(); }));
        ASSERT_TRUE(e) << c.text;
        EXPECT_EQ(e->level, 4);
        ASSERT_EQ(e->userMessages.count, 2) << c.text;
        EXPECT_EQ(e->userMessages.head->value, "Error reading versit card at line number " + std::to_string(c.line));
        EXPECT_STREQ(e->userMessages.head->next->value, c.message);
    }
}

// Every entry that can be written reads back the same, folded values included.
TEST_F(VersitFileTest, VariedCardsSurviveARoundTrip) {
    std::mt19937 rng(7);
    const char* words[] = {"Ann", "o'Neil", "a:b", "x;y", "\xfcml", "tab\there"};
    std::vector<std::string> written;
    FILE* out = fopen(Write("").c_str(), "w");
    for (int i = 0; i < 100; ++i) {
        VCard card;
        card.AddEntry(VCardPropUid, ("u" + std::to_string(i)).c_str());
        for (int k = 0; k < 6; ++k) {
            std::string value = words[rng() % 6];  // long values, and line ends to fold
            for (unsigned extra = rng() % 120; extra > 0; --extra) value += rng() % 20 == 0 ? '\n' : 'a' + rng() % 26;
            // every property but BEGIN and END, custom ones too; every kind of parameter
            VCardEntry* e = new VCardEntry(VCardPropAdr + rng() % 30, value.c_str());
            for (unsigned p = rng() % 3; p > 0; --p) e->AddSubType(VCardKindType, rng() % 60);
            if (rng() % 3 == 0) e->AddSubType(VCardKindValue + rng() % 2, rng() % 4);
            card.AddEntry(e);
        }
        card.Print(out);
        written.push_back(Describe(card));
    }
    fclose(out);

    VersitFile f;
    ASSERT_EQ(f.Open((dir + "/a.vcf").c_str(), ZaTrue), ZaTrue);
    f.ReadInAllCards();
    std::vector<std::string> read;
    for (const VCard* c = f.cards; c != nullptr; c = c->next) read.push_back(Describe(*c));
    EXPECT_EQ(read, written);
    const VCard* u17 = f.FindCardFromList("U17", VCardPropUid);
    ASSERT_NE(u17, nullptr);
    EXPECT_STREQ(u17->entries->value, "u17");
}

TEST_F(VersitFileTest, IndexInFileOrderReportsProgressAndFindsCards) {
    std::string text;
    for (int i = 0; i < 700; ++i) text += Card("u" + std::to_string(i), "Name " + std::to_string(i));
    const std::string cards = Write(text + "BEGIN:vCard\nFN:no uid\nEND:vCard\n");
    std::vector<int> reports;
    VersitFile f;
    ASSERT_EQ(f.Open(cards.c_str(), ZaTrue), ZaTrue);
    f.IndexFile(IndexPath().c_str(), [](void* data, CallbackProgress* p) {
        static_cast<std::vector<int>*>(data)->push_back(p->count);
        EXPECT_STREQ(p->text, " records processed");
    }, &reports);
    EXPECT_EQ(reports, (std::vector<int>{350, 700, 701}));
    EXPECT_EQ(IndexText().substr(0, 39), "BEGIN:vNameList\nu0:0\nu1:39\nu2:78\nu3:117");

    VersitFileWithIndex indexed;
    ASSERT_EQ(indexed.OpenWithIndex(cards.c_str(), IndexPath().c_str(), ZaTrue), ZaTrue);
    EXPECT_EQ(indexed.index->count, 700);
    for (int pass = 0; pass < 2; ++pass) {  // the second pass works from memory
        EXPECT_EQ(indexed.GetVCardOffset("U2"), 78);
        EXPECT_EQ(indexed.GetVCardOffset("nobody"), -1);
        EXPECT_EQ(indexed.GetVCard("nobody"), nullptr);
        std::unique_ptr<VCard> card(indexed.GetVCard("u699"));
        ASSERT_TRUE(card);
        EXPECT_STREQ(card->GetEntry(VCardPropFn)->value, "Name 699");
        indexed.ReadInAllCards();
    }
    VersitFileWithIndex noIndex;  // a missing index file leaves the index empty
    ASSERT_EQ(noIndex.OpenWithIndex(cards.c_str(), (dir + "/none.idx").c_str(), ZaTrue), ZaTrue);
    EXPECT_EQ(noIndex.index->count, 0);
}

TEST_F(VersitFileTest, IndexOnAPropertySortsNewestFirstAmongEquals) {
    VersitFile f;
    ASSERT_EQ(f.Open(Write(Card("1", "b") + Card("2", "A") + Card("3", "a") + Card("4", "c") +
                           "BEGIN:vCard\nUID:5\nEND:vCard\n").c_str(), ZaTrue), ZaTrue);
    f.IndexFileOn(IndexPath().c_str(), VCardPropFn, nullptr, nullptr);
    EXPECT_EQ(IndexText(), "BEGIN:vNameList\n5:132\n3:66\n2:33\n1:0\n4:99\nEND:vNameList\n");

    for (const char* uidLine : {"", "UID: \n"}) {
        VersitFile g;
        ASSERT_EQ(g.Open(Write(Card("1", "a") + "BEGIN:vCard\n" + uidLine + "END:vCard\n").c_str(), ZaTrue), ZaTrue);
        std::unique_ptr<ZaError> e(Thrown([&] { g.IndexFileOn(IndexPath().c_str(), VCardPropFn, nullptr, nullptr); }));
        ASSERT_TRUE(e) << uidLine;
        EXPECT_STREQ(e->userMessages.head->value, *uidLine ? "UID field is empty in versit file" : "UID field not found in versit file");
    }
}

TEST_F(VersitFileTest, SearchPagesThroughTheIndex) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += Card("u" + std::to_string(i), i % 8 < 5 ? "Ann Match" : "Bob");
    const std::string cards = Write(text);
    VersitFile f;
    ASSERT_EQ(f.Open(cards.c_str(), ZaTrue), ZaTrue);
    f.IndexFile(IndexPath().c_str(), nullptr, nullptr);

    ValList words;
    words.Append("match");
    VCardEntry field(VCardPropFn, "Name");
    VCard fields;
    fields.AddEntry(VCardPropFn, "Name");
    for (bool inMemory : {false, true}) {
        VersitFileWithIndex indexed;
        ASSERT_EQ(indexed.OpenWithIndex(cards.c_str(), IndexPath().c_str(), ZaTrue), ZaTrue);
        if (inMemory) indexed.ReadInAllCards();
        std::vector<std::vector<std::string>> pages;
        std::vector<std::string> cursors;
        char* cursor = nullptr;
        do {
            int count = 0;
            char* from = cursor;
            pages.push_back(TakeUids(indexed.Search(&words, &count, 10, &cursor, inMemory ? &field : nullptr, &fields)));
            free(from);
            EXPECT_EQ(count, static_cast<int>(pages.back().size()));
            cursors.push_back(cursor != nullptr ? cursor : "<end>");
        } while (cursor != nullptr && pages.size() < 5);
        // Matches are u0-u4, u8-u12, ...; a cursor names the item after the
        // last one visited, match or not.
        EXPECT_EQ(cursors, (std::vector<std::string>{"u13", "u29", "<end>"}));
        ASSERT_EQ(pages.size(), 3u);
        EXPECT_EQ(pages[1], (std::vector<std::string>{"u16", "u17", "u18", "u19", "u20", "u24", "u25", "u26", "u27", "u28"}));
        EXPECT_EQ(pages[2].size(), 5u);

        char* unknown = const_cast<char*>("nobody");  // no cards, and the end
        EXPECT_EQ(indexed.Search(&words, nullptr, 10, &unknown, &field, nullptr), nullptr);
        EXPECT_EQ(unknown, nullptr);
    }
}

// Reading, indexing and parsing take arbitrary bytes without crashing.
TEST_F(VersitFileTest, ArbitraryBytesNeverCrash) {
    std::mt19937 rng(12345);
    const std::string valid = Card("u1", "Ann") + "BEGIN:vCard\nTEL;WORK;X-ZARVO-TYPE-3:1\nNOTE:a=0A=\n b\nEND:vCard\n";
    const char alphabet[] = "BEGIN:vCard\nEND;TYPE=X-ZARVO-LABEL-9: \t\r=0A=";
    for (int round = 0; round < 300; ++round) {
        std::string text = round % 10 == 0 ? "" : valid;  // now and then bytes alone
        for (int m = rng() % (round % 10 == 0 ? 400 : 30); m >= 0; --m) {
            const size_t at = rng() % (text.size() + 1);
            const unsigned op = rng() % 3;
            if (op == 2 && at < text.size()) text.erase(at, 1 + rng() % 8);
            else text.insert(at, 1, op == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % (sizeof(alphabet) - 1)]);
        }
        VersitFile f;
        ASSERT_EQ(f.Open(Write(text).c_str(), ZaTrue), ZaTrue);
        for (bool more = true; more;) {  // each card, also after a bad one
            delete Thrown([&] {
                std::unique_ptr<VCard> card(f.GetVCardFromFile());
                more = card != nullptr;
                if (more) free(card->Print(ZaFalse));
            });
        }
        f.PositionVCardFile(0);
        delete Thrown([&] { f.IndexFileOn(IndexPath().c_str(), VCardPropFn, nullptr, nullptr); });
    }
}
