// Grid tables and the person, group and document blocks.
#include <memory>
#include <string>

#include "widget_support.h"
#include "zaforms.h"
#include "zastreamtable.h"
#include "zatables.h"

namespace {

TEST(ZaTableGolden, SpacersRowsAndClosing) {
    ZaTable* table = new ZaTable(3, ZaTrue, 4);
    for (const char* item : {"one", "two", "three", "four", "five"}) table->addObject(item, ZaFalse);
    table->CloseRow();
    table->AddRow(new B("whole row"));
    table->SetWrap(ZaFalse);
    table->AddCC("left", "right");
    table->CloseRow();
    ExpectGolden("table_spacers.html", Emitted(table));
}

TEST(ZaTable, ConstructorLimits) {
    // columns, spaced, width -> columns, spacer width
    const int cases[][5] = {{3, 1, 50, 3, 20}, {3, 1, 0, 3, 1}, {3, 1, 1, 3, 1},  {3, 1, 20, 3, 20},
                            {3, 1, 21, 3, 20}, {3, 0, 8, 3, 0}, {0, 1, 4, 1, 4}, {-2, 0, 0, 1, 0}};
    for (const auto& c : cases) {
        ZaTable table(c[0], c[1] ? ZaTrue : ZaFalse, c[2]);
        EXPECT_EQ(c[3], table.columns) << c[0];
        EXPECT_EQ(c[4], table.spacerWidth) << c[2];
    }
}

// Without spacers: a row closed after one item, a full row closed, a row of
// its own; each leaves no open row behind.
TEST(ZaTableGolden, RowsWithoutSpacers) {
    std::string html;
    for (int items : {1, 3, 0}) {
        ZaTable* table = new ZaTable(3, ZaFalse, 0);
        for (int i = 0; i < items; i++) table->addObject(i);
        if (items) table->CloseRow();
        else table->AddRow(new B("x"));
        EXPECT_EQ(0, table->count);
        EXPECT_EQ(nullptr, table->currentRow);
        EXPECT_EQ(nullptr, table->addObject(table));  // never a cell of itself
        EXPECT_EQ(0, table->count);
        html += Emitted(table);
    }
    ExpectGolden("table_plain.html", html);
}

// A streamed table writes what a table holding every entry writes, whatever
// the batch size and wherever a batch ends within a row.
TEST(ZaStreamedTable, SameBytesAsAWholeTable) {
    struct Case {
        int columns, spacer, entries;
        bool quiet;  // escaping and enhancing cleared from an ancestor
    } cases[] = {{3, 4, 0, false}, {3, 4, 1, false}, {3, 4, 7, false}, {7, 4, 20, false},
                 {4, 0, 9, false}, {3, 4, 10, true}};
    auto fill = [](ZaTable* table, size_t i) {
        table->addObject(new B(("name <" + std::to_string(i) + ">").c_str()));
        if (i % 5 == 4) table->CloseRow();
    };
    for (const Case& c : cases) {
        for (size_t batch : {1, 2, 3, 256}) {
            auto whole = new HTMLObject(TAG_BODY);
            auto table = new ZaTable(c.columns, c.spacer ? ZaTrue : ZaFalse, c.spacer);
            table->addObject(new B("heading"));
            for (int i = 0; i < c.entries; i++) fill(table, i);
            whole->addObject(table);
            whole->addObject(new B("after"));
            auto streamedBody = new HTMLObject(TAG_BODY);
            auto streamed = new ZaStreamedTable(c.columns, c.spacer ? ZaTrue : ZaFalse, c.spacer);
            streamed->addObject(new B("heading"));
            streamed->StreamEntries(c.entries, fill, batch);
            streamedBody->addObject(streamed);
            streamedBody->addObject(new B("after"));
            if (c.quiet) {
                whole->DontEscape(ZaFalse);
                streamedBody->DontEscape(ZaFalse);
            }
            EXPECT_EQ(Emitted(whole), Emitted(streamedBody)) << c.columns << " " << c.entries << " " << batch;
        }
    }
}

class PersonGroupTableTest : public ::testing::Test {
protected:
    FakeUserDB users;
    FakeGroupDB groups;

    void SetUp() override {
        users.Add("u3", "Carol Jones", "carol@example.com");
        users.Add("u1", "alice Smith", "alice@example.com");
        users.Add("u2", "Bob & Co", "bob@example.com");
        users.Add("u4", "Dave", "");
        groups.groups["g2"] = {"Sales", {"u1"}};
        groups.groups["g1"] = {"Engineering", {"u2", "u3"}};
    }
};

TEST_F(PersonGroupTableTest, PeopleGolden) {
    std::unique_ptr<ValList> three(MakeList({"u3", "u2", "u1"}));
    std::unique_ptr<ValList> four(MakeList({"u4", "u3", "u2", "u1"}));
    std::unique_ptr<ValList> none(new ValList());
    std::unique_ptr<ValList> one(MakeList({"u1"}));
    ZaPersonGroupTable* table = new ZaPersonGroupTable();
    table->AddCheckedPeople("oper_uid_val", three.get(), "Selected People", &users);
    table->AddCheckedPeople("oper_uid_val", none.get(), "Nobody", &users);
    table->AddRadioButtonPeople("selection", three.get(), "New Owner", "U2", &users);
    table->AddPeople(four.get(), "Members", &users, ZaTrue);
    table->AddPeopleNoIcons(three.get(), static_cast<const char*>(nullptr), &users);
    table->AddCheckedPeople("f", one.get(), new B("Counted"), &users, "count(this)");
    table->AddPeopleMouseOver(one.get(), "Card", &users, nullptr);
    ExpectGolden("people_table.html", Emitted(table));
}

TEST_F(PersonGroupTableTest, GroupsAndDocumentsGolden) {
    std::unique_ptr<ValList> gids(MakeList({"g2", "g1"}));
    std::unique_ptr<ValList> docs(MakeList({"notes.txt", "index.html"}));
    std::unique_ptr<ValNameList> params(new ValNameList());
    params->Append("program", "showDoc");
    params->Append("gid", "g 1");
    ZaPersonGroupTable* table = new ZaPersonGroupTable();
    table->AddGroups(gids.get(), "Groups", &groups);
    table->AddCheckedGroups("gid_val", gids.get(), "Delete", &groups);
    table->AddGroupsNoIcons(gids.get(), "Plain", &groups);
    table->AddCheckedDocuments("doc", docs.get(), "Files");
    table->AddDocumentsNoIcons(docs.get(), "Listed");
    table->AddHyperlinkedDocuments("Linked", docs.get(), "groupmgr.cgi", "Open the file", params.get());
    ExpectGolden("groups_documents_table.html", Emitted(table));
}

// A block of thousands of people: each name is asked of the store once and
// the links come out in name order (the build time is the store benchmark's
// business, not a unit test's).
TEST(PersonGroupTableScale, ThousandsOfPeopleSortedByName) {
    struct CountingUserDB : FakeUserDB {
        int lookups = 0;
        char* GetUserName(char* uid) override {
            lookups++;
            return FakeUserDB::GetUserName(uid);
        }
    } store;
    const int n = 8000;
    std::unique_ptr<ValList> uids(new ValList());
    for (int i = 0; i < n; i++) {
        std::string uid = "u" + std::to_string(i);
        store.Add(uid, "Person " + std::to_string((i * 7919L) % n + 100000));
        uids->Append(uid.c_str());
    }
    ZaPersonGroupTable* table = new ZaPersonGroupTable();
    table->AddPeople(uids.get(), "All", &store, ZaTrue);
    std::string html = Emitted(table);
    EXPECT_EQ(n, store.lookups);
    size_t previous = 0;
    for (int k : {100000, 100001, 104000, 107999}) {
        size_t at = html.find("Person " + std::to_string(k));
        ASSERT_NE(std::string::npos, at) << k;
        EXPECT_LT(previous, at) << k;
        previous = at;
    }
}

}  // namespace
