// The card model: lookups, entry order, copies, word searches and the
// readable forms of structured values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>

#include "vcard.h"
#include "versit_test_util.h"

TEST(VCardModel, LookupsByIdParameterAndShape) {
    VCard card;
    card.AddEntry(VCardPropFn, "Ann Smith")->AddEntry(NewEntry(VCardPropTel, "home", {{0, VCardTypeHome}}));
    card.AddEntry(NewEntry(VCardPropTel, "work", {{0, VCardTypeWork}}));
    std::unique_ptr<VCardEntry> homeFax(NewEntry(VCardPropTel, nullptr, {{0, VCardTypeHome}, {0, VCardTypeFax}}));
    // kinds are not compared, value indexes are
    std::unique_ptr<VCardEntry> work(NewEntry(VCardPropTel, nullptr, {{VCardKindValue, VCardTypeWork}}));

    EXPECT_EQ(card.GetNumEntries(), 3);
    EXPECT_STREQ(card.GetEntry(VCardPropTel)->value, "home");
    EXPECT_STREQ(card.GetEntry(VCardPropTel, VCardTypeWork)->value, "work");
    EXPECT_EQ(card.GetEntry(VCardPropTel, VCardTypeFax), nullptr);
    EXPECT_EQ(card.GetEntry(homeFax.get()), nullptr);
    EXPECT_STREQ(card.GetEntry(work.get())->value, "work");
    EXPECT_EQ(card.GetEntryOrder(work.get()), 2);
    EXPECT_EQ(card.GetEntryOrder(homeFax.get()), -1);
    EXPECT_EQ(card.GetEntryOrder(VCardPropTel), 1);
    EXPECT_EQ(card.GetNthEntry(3), nullptr);

    // propId, with a relationship type, printable, displayable
    const int kinds[][4] = {{VCardPropFn, 0, 1, 1},    {VCardPropN, 0, 0, 0},     {VCardPropPhoto, 0, 0, 0},
                            {VCardPropUid, 0, 0, 0},   {VCardPropUid, 1, 0, 1},   {VCardPropMgrUid, 1, 0, 0},
                            {VCardPropDirectReportUid, 0, 0, 0}, {VCardPropCustomBase + 2, 0, 1, 1}};
    for (const auto& k : kinds) {
        VCardEntry e(k[0], "v");
        if (k[1] != 0) e.AddSubType(VCardKindType, VCardTypeSecretary);
        EXPECT_EQ(e.IsPrintable(), k[2]) << k[0];
        EXPECT_EQ(e.IsDisplayable(), k[3]) << k[0];
    }
}

TEST(VCardModel, SwapAndDeepCopy) {
    VCard card;
    card.AddEntry(VCardPropFn, "a")->AddEntry(VCardPropTel, "b")->AddEntry(VCardPropEmail, "c")->AddEntry(VCardPropNote, "d");
    card.SwapEntries(1, 4);
    card.SwapEntries(3, 2);
    const std::string swapped = "17=d|14=c|13=b|9=a|";
    EXPECT_EQ(Describe(card), swapped);
    for (int bad : {5, 3, 0}) card.SwapEntries(3, bad);
    EXPECT_EQ(Describe(card), swapped);

    card.GetEntry(VCardPropTel)->AddSubType(VCardKindType, VCardTypeWork)->AddSubType(VCardKindType, VCardTypeFax);
    std::unique_ptr<VCard> copy(card.Copy());
    EXPECT_EQ(Describe(*copy), Describe(card));
    copy->GetEntry(VCardPropTel)->SetPropValue("changed");
    copy->GetEntry(VCardPropTel)->subTypes->valueIndex = VCardTypeHome;
    EXPECT_EQ(Describe(card), "17=d|14=c|13=b;0/5;0/8|9=a|");

    VCardEntry* note = card.GetEntry(VCardPropNote);
    note->SetPropValue(note->value);  // its own text
    EXPECT_EQ(TakeText(note->GetValue()), "d");
}

TEST(VCardModel, WordSearchesAndSearchFields) {
    VCard card;
    card.AddEntry(VCardPropFn, "Ann Smith")->AddEntry(NewEntry(VCardPropTel, "555 1234", {{0, VCardTypeWork}}));
    card.AddEntry(VCardPropPhoto, "ann smith photo")->AddEntry(VCardPropEmail, nullptr);
    VCard fields;
    fields.AddEntry(VCardPropPhoto, "Picture")->AddEntry(VCardPropEmail, "Mail")->AddEntry(VCardPropFn, "Name");
    fields.AddEntry(NewEntry(VCardPropTel, "Phone", {{0, VCardTypeWork}}));
    std::unique_ptr<VCardEntry> fn(new VCardEntry(VCardPropFn, "labels play no part"));
    std::unique_ptr<VCardEntry> homeTel(NewEntry(VCardPropTel, "Home", {{0, VCardTypeHome}}));
    const VCardEntry* fnEntry = card.GetEntry(VCardPropFn);
    const VCardEntry* telEntry = card.GetEntry(VCardPropTel);

    struct Case {
        bool useAnd;
        std::initializer_list<const char*> words;
        const VCardEntry* field;  // null: search through `fields`
        const VCardEntry* expected;
    } cases[] = {
        {true, {"ann", "SMITH"}, fn.get(), fnEntry},  {true, {"ann", "jones"}, fn.get(), nullptr},
        {false, {"ann", "jones"}, fn.get(), fnEntry}, {true, {}, fn.get(), fnEntry},
        {false, {}, fn.get(), nullptr},               {true, {}, homeTel.get(), nullptr},
        {true, {"smith"}, nullptr, fnEntry},          {true, {"1234"}, nullptr, telEntry},
        {true, {"photo"}, nullptr, nullptr},          {false, {"zzz", "555"}, nullptr, telEntry},
        {true, {}, nullptr, fnEntry},
    };
    int n = 0;
    for (const Case& c : cases) {
        ValList words;
        for (const char* w : c.words) words.Append(w);
        const VCardEntry* got = c.field != nullptr
                                    ? (c.useAnd ? card.SearchVCardAND(&words, c.field) : card.SearchVCardOR(&words, c.field))
                                    : (c.useAnd ? card.SearchVCardAND(&words, &fields) : card.SearchVCardOR(&words, &fields));
        EXPECT_EQ(got, c.expected) << "case " << n++;
    }
    EXPECT_EQ(fields.FindSearchType("all"), nullptr);
    EXPECT_EQ(fields.FindSearchType("Picture"), nullptr);
    EXPECT_EQ(fields.FindSearchType("phone"), fields.GetEntry(VCardPropTel));
}

TEST(VCardModel, StructuredValuesReadably) {
    struct Case {
        char* (VCardEntry::*format)() const;
        const char* value;
        const char* expected;
    } cases[] = {
        {&VCardEntry::FormatN, "Smith;Ann;;Dr.;", "Dr. Ann  Smith "},
        {&VCardEntry::FormatN, "Smith;Ann;B;Dr.;Jr.", "Dr. Ann B Smith Jr."},
        {&VCardEntry::FormatN, "Smith", "Smith "},
        {&VCardEntry::FormatAdr, ";;1 Main St;Town;CA;90000;USA", "  1 Main St Town CA 90000 USA"},
        {&VCardEntry::FormatAdr, "PO 1;;Main", "PO 1  Main    "},
        {&VCardEntry::FormatOrg, "Acme; Sales ;East", "Acme Sales East"},
        {&VCardEntry::FormatOrg, nullptr, "<null>"},
    };
    for (const Case& c : cases) {
        VCardEntry e(VCardPropNote, c.value);
        EXPECT_EQ(TakeText((e.*c.format)()), c.expected);
    }
    char** parts = VCardEntry(VCardPropN, "Smith;Ann").FormatNArray();
    EXPECT_EQ(TakeText(parts[0]) + TakeText(parts[1]) + TakeText(parts[2]) + TakeText(parts[4]), "SmithAnn<null><null>");
    free(parts);
}
