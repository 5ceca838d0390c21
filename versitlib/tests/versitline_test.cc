// vCard lines: splitting, parsing name parts and writing entries and cards.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vcard.h"
#include "versit.h"
#include "versit_test_util.h"

namespace {

// What Print(FILE*) writes.
template <typename T>
std::string Printed(const T& what) {
    char* buf = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&buf, &size);
    what.Print(f);
    fclose(f);
    return TakeText(buf);
}

}  // namespace

TEST(VersitLine, BreakLineAndTableMatching) {
    struct Case {
        const char *line, *name, *value;
    } cases[] = {{"TEL;WORK: \t123", "TEL;WORK", "123"}, {"FN:   ", "FN", "<null>"},
                 {"NOTE:a:b c \r\n", "NOTE", "a:b c "},   {":x", "", "x"}};
    for (const Case& c : cases) {
        char *name = nullptr, *value = nullptr;
        EXPECT_EQ(BreakLine(c.line, &name, &value), name);
        EXPECT_EQ(TakeText(name), c.name);
        EXPECT_EQ(TakeText(value), c.value);
    }
    for (const char* noColon : {"FN\n:x", "FN", static_cast<const char*>(nullptr)}) {
        char *name = nullptr, *value = nullptr;
        std::unique_ptr<ZaError> e(Thrown([&] { BreakLine(noColon, &name, &value); }));
        ASSERT_TRUE(e) << "no colon before the line end";
        EXPECT_EQ(e->level, 4);
        EXPECT_STREQ(e->lines.head->value, "Error : line 37 in file versitlib/src/common : No ':' character found on line");
    }
    const char* text = "MPEG2;x";
    EXPECT_EQ(MatchWordFromArray(&text, typevalPropArray), 43);  // not the row "MPEG"
    EXPECT_STREQ(text, ";x");
    const char* none = nullptr;
    EXPECT_EQ(MatchWordFromArray(&none, propArray), -1);
}

TEST(VersitLine, ParsePropertyName) {
    struct Case {
        const char* namePart;
        int propId;
        Params params;
    } cases[] = {
        {"TEL;WORK;FAX", VCardPropTel, {{0, VCardTypeWork}, {0, VCardTypeFax}}},
        {" tel ; work\t", VCardPropTel, {{0, VCardTypeWork}}},
        {"PHOTO;ENCODING = BASE64;TYPE=JPEG", VCardPropPhoto, {{2, 3}, {0, 40}}},
        {"UID;X-ZARVO-SECRETARY", VCardPropUid, {{0, VCardTypeSecretary}}},
        {"TEL;X-ZARVO-TYPE-2", VCardPropTel, {{0, 55}}},
        {"TEL;X-OTHER;HOME", VCardPropTel, {{0, VCardTypeHome}}},
        {"TEL;X-ZARVO-TYPE-2 ;HOME", VCardPropTel, {{0, VCardTypeHome}}},  // not a custom type: digits end at a blank
        {"X-ZARVO-LABEL-3;PREF", 31, {{0, VCardTypePref}}},
        {"X-ZARVO-MGR-UID", VCardPropMgrUid, {}},
        {"X-FOO;NOT-CHECKED", VCardPropIgnored, {}},
    };
    for (const Case& c : cases) {
        std::unique_ptr<VCardEntry> e(VCardEntry::ParsePropertyName(c.namePart));
        EXPECT_EQ(e->propId, c.propId) << c.namePart;
        EXPECT_EQ(ParamsOf(*e), c.params) << c.namePart;
    }
    struct Bad {
        const char *namePart, *message;
    } bad[] = {
        {"TEL;TYPE WORK", "Keywords must be followed by '=' : TYPE WORK"},
        {"TEL;NOPE", "Value for TYPE sub-property not found : NOPE"},
        {"TEL;X-ZARVO-TYPE-99999999999", "Value for TYPE sub-property not found : X-ZARVO-TYPE-99999999999"},
        {"URL;VALUE=FTP", "Value for VALUE sub-property not found : VALUE=FTP"},
        {"KEY;ENCODING=ROT13", "Value for ENCODING sub-property not found : ENCODING=ROT13"},
        {"FN;CHARSET=UTF-8", "CHARSET sub-property not supported : CHARSET=UTF-8"},
        {"FN;LANGUAGE=en", "LANGUAGE sub-property not supported : LANGUAGE=en"},
        {"NICKNAME", "Bad format for property name"},
        {"TEL WORK", "Bad property value (it must contain a ';') : WORK"},
        {"X-ZARVO-LABEL-99999999999", "Bad property value : X-ZARVO-LABEL-99999999999"},
    };
    for (const Bad& b : bad) {
        std::unique_ptr<ZaError> e(Thrown([&] { delete VCardEntry::ParsePropertyName(b.namePart); }));
        ASSERT_TRUE(e) << b.namePart;
        EXPECT_EQ(e->level, 4);
        EXPECT_STREQ(e->userMessages.head->value, b.message);
        EXPECT_NE(std::string(e->lines.head->value).find("Error rethrown in ParsePropertyName"), std::string::npos);
    }
}

TEST(VersitLine, EntriesAndCardsAsText) {
    struct Case {
        int propId;
        const char* value;
        Params params;
        const char *line, *display;
    } cases[] = {
        {VCardPropTel, "123", {{0, VCardTypeWork}, {0, VCardTypeFax}}, "TEL;WORK;FAX:123\n", "TEL(WORK)(FAX)"},
        {VCardPropTel, "1", {{0, 55}}, "TEL;X-ZARVO-TYPE-2:1\n", "TEL(X-ZARVO-TYPE-2)"},
        {31, "v", {}, "X-ZARVO-LABEL-3:v\n", "X-ZARVO-LABEL-3"},
        {VCardPropNote, nullptr, {}, "NOTE:\n", "NOTE"},
        {VCardPropPhoto, "x", {{1, 1}, {2, 3}}, "PHOTO;VALUE=URL;ENCODING=BASE64:x\n", "PHOTO(VALUE=URL)(ENCODING=BASE64)"},
        {VCardPropNote, "a\nb", {}, "NOTE:a=0A=\n b\n", "NOTE"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<VCardEntry> e(NewEntry(c.propId, c.value, c.params));
        EXPECT_EQ(Printed(*e), c.line);
        EXPECT_EQ(TakeText(e->GetDisplayRep()), c.display);
    }
    for (const auto& bad : std::vector<std::pair<int, Params>>{{VCardPropIgnored, {}}, {VCardPropTel, {{3, 0}}}, {VCardPropUrl, {{1, 4}}}}) {
        std::unique_ptr<VCardEntry> entry(NewEntry(bad.first, "x", bad.second));
        std::unique_ptr<ZaError> e(Thrown([&] { free(entry->GetNameAndSubTypes()); }));
        ASSERT_TRUE(e) << bad.first;
        EXPECT_STREQ(e->lines.head->value, "Error : line 934 in file versitlib/src/versit : VersitDB - Bad Type!");
    }
    VCard card;
    card.AddEntry(VCardPropN, "Smith;Ann")->AddEntry(VCardPropFn, "Ann Smith");
    card.AddEntry((new VCardEntry(VCardPropTel, nullptr))->AddSubType(VCardKindType, VCardTypeWork));
    EXPECT_EQ(TakeText(card.Print(ZaTrue)), "begin:vCard\nFN:Ann Smith\nTEL;WORK:\nend:vCard");
    EXPECT_EQ(TakeText(card.Print(ZaFalse)), "begin:vCard\nN:Smith;Ann\nFN:Ann Smith\nTEL;WORK:\nend:vCard");
    EXPECT_EQ(Printed(card), "BEGIN:vCard\nN:Smith;Ann\nFN:Ann Smith\nTEL;WORK:\nEND:vCard\n");
}
