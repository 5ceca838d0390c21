#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <strings.h>
#include <unistd.h>
#include <vector>

#include "list.h"
#include "vallist.h"

namespace {

using Texts = std::vector<std::string>;
const char* const kAbsent = "<absent>";

// One text field of every item, checking count and tail against the links.
template <class List, class Item>
Texts Column(const List& list, char* Item::*field) {
    Texts out;
    for (Item* i = list.head; i; i = i->next) out.push_back(i->*field ? i->*field : kAbsent);
    EXPECT_EQ(static_cast<int>(out.size()), list.count);
    EXPECT_TRUE(list.count ? list.tail && !list.tail->next : !list.tail);
    return out;
}
Texts Values(const ValList& list) { return Column(list, &ValListItem::value); }
Texts Names(const ValNameList& list) { return Column(list, &ValNameListItem::name); }

FILE* FileWith(const std::string& content) {
    FILE* f = tmpfile();
    fputs(content.c_str(), f);
    rewind(f);
    return f;
}

std::string Contents(FILE* f) {
    std::string out(static_cast<size_t>(ftell(f)), '\0');
    rewind(f);
    out.resize(fread(&out[0], 1, out.size(), f));
    return out;
}

TEST(ValListTest, EditingOperationsKeepCountAndTail) {
    struct Case { const char* what; void (*op)(ValList&); Texts expected; };
    const std::vector<Case> cases = {
        {"append", [](ValList& l) { l.Append("d"); }, {"a", "b", "c", "d"}},
        {"prepend", [](ValList& l) { l.Prepend("z"); }, {"z", "a", "b", "c"}},
        {"dup check ignores case", [](ValList& l) { l.AppendWithDupCheck("B")->PrependWithDupCheck("A"); },
         {"a", "b", "c"}},
        {"add after tail moves tail", [](ValList& l) { l.AddAfter(l.tail, "t"); l.Append("u"); },
         {"a", "b", "c", "t", "u"}},
        {"fifo keeps length", [](ValList& l) { l.AddFIFO("n"); }, {"n", "a", "b"}},
        {"fifo dup check", [](ValList& l) { l.AddFIFOWithDupCheck("C"); }, {"a", "b", "c"}},
        {"remove first match only", [](ValList& l) { l.Append("B"); l.Remove("b"); }, {"a", "c", "B"}},
        {"remove list", [](ValList& l) { ValList o; o.Append("a")->Append("c")->Append("q"); l.Remove(&o); },
         {"b"}},
        {"remove itself", [](ValList& l) { l.Remove(&l); }, {}},
        {"remove absent", [](ValList& l) { l.Remove(static_cast<const char*>(nullptr)); }, {"a", "b", "c"}},
        {"remove last", [](ValList& l) { l.RemoveLast(); l.RemoveLast(); l.Append("q"); }, {"a", "q"}},
        {"remove all", [](ValList& l) { l.RemoveAll(); l.Append("q"); }, {"q"}},
        {"swap", [](ValList& l) { l.SwapItems(l.head, l.tail); l.SwapItems(l.head, nullptr); }, {"c", "b", "a"}},
        {"add itself", [](ValList& l) { l.Add(&l); }, {"a", "b", "c", "a", "b", "c"}},
        {"add with dup check", [](ValList& l) { ValList o; o.Append("A")->Append("x")->Append("x"); l.AddWithDupCheck(&o); },
         {"a", "b", "c", "x"}},
    };
    for (const Case& c : cases) {
        ValList list;
        list.Append("a")->Append("b")->Append("c");
        c.op(list);
        EXPECT_EQ(Values(list), c.expected) << c.what;
    }
}

TEST(ValListTest, LookupsAndPositions) {
    ValList list;
    list.Append("One")->Append(nullptr)->Append("two");
    EXPECT_EQ(list.Lookup("ONE"), list.head);
    EXPECT_EQ(list.Lookup(nullptr), nullptr);
    EXPECT_EQ(list.GetIndexOf("TWO"), 2);
    EXPECT_EQ(list.GetIndexOf("three"), -1);
    EXPECT_EQ(list.GetNthItem(1)->value, nullptr);
    EXPECT_EQ(list.GetNthItem(-1), nullptr);
    EXPECT_EQ(list.GetNthItem(3), nullptr);

    ValList empty;
    empty.AddFIFO("x");
    EXPECT_EQ(Values(empty), Texts{"x"});
    ValList* copy = list.Copy();
    EXPECT_EQ(Values(*copy), Values(list));
    EXPECT_NE(copy->head->value, list.head->value);
    delete copy;
}

TEST(ValNameListTest, EditingAndLookups) {
    ValNameList l;
    l.Append("Key", "v1", "x1")->Append("key", "v2")->Append("other", "V1");
    EXPECT_EQ(l.Lookup("KEY"), l.head);
    EXPECT_EQ(l.LookupByVal("v1"), l.head);
    EXPECT_EQ(l.LookupByNameVal("other", "v1"), l.tail);
    EXPECT_EQ(l.LookupByNameVal(nullptr, "v1"), nullptr);
    EXPECT_EQ(l.GetIndexOf("OTHER"), 2);
    ValList* keys = l.GetKeyListMatchingVal("V1");
    EXPECT_EQ(Values(*keys), (Texts{"Key", "other"}));
    delete keys;

    const char* same = l.head->extra1;
    l.Replace("KEY", "new", same, nullptr, "e3");
    EXPECT_STREQ(l.head->name, "Key");
    EXPECT_STREQ(l.head->value, "new");
    EXPECT_EQ(l.head->extra1, same);  // same pointer: left alone, not freed
    EXPECT_STREQ(l.head->extra3, "e3");
    EXPECT_STREQ(l.head->next->value, "v2");  // only the first match changes
    l.Replace("count", 5);
    EXPECT_STREQ(l.tail->value, "5");

    l.Remove("KEY");
    EXPECT_EQ(Names(l), (Texts{"key", "other", "count"}));
    l.Append("KEY", "x");
    l.RemoveEvery("key");
    EXPECT_EQ(Names(l), (Texts{"other", "count"}));
    l.RemoveEveryNameVal("other", "v1");
    l.RemoveEveryVal("5");
    EXPECT_EQ(l.count, 0);
    EXPECT_EQ(l.tail, nullptr);
}

TEST(VoidListTest, PointerListDiffers) {
    int a = 1, b = 2;
    VoidList l;
    l.Append(&a)->AppendWithDupCheck(&a)->PrependWithDupCheck(&b);
    EXPECT_EQ(l.count, 2);
    EXPECT_EQ(l.GetNthItem(-1), l.head);
    EXPECT_EQ(l.GetNthItem(2), nullptr);
    l.Remove(&a);
    EXPECT_TRUE(l.tail == l.head && l.head->data == &b);

    // A subclass that treats equal ints as duplicates is asked by the dup checks.
    struct IntList : VoidList {
        VoidItem* Lookup(const void* d) override {
            for (VoidItem* i = head; i; i = i->next)
                if (*static_cast<int*>(i->data) == *static_cast<const int*>(d)) return i;
            return nullptr;
        }
    } ints;
    int c = 2;
    ints.Append(&b);
    ints.AppendWithDupCheck(&c);
    EXPECT_EQ(ints.count, 1);
}

// The sorts' defined order: each item goes before the first one it does not sort
// after. Null keys are taken as smaller than any text.
std::vector<int> InsertionOrder(const std::vector<const char*>& keys, bool descending) {
    auto cmp = [](const char* x, const char* y) { return (!x || !y) ? (x ? 1 : 0) - (y ? 1 : 0) : strcasecmp(x, y); };
    std::vector<int> order;
    for (int i = 0; i < static_cast<int>(keys.size()); i++) {
        auto pos = order.begin();
        while (pos != order.end()) {
            int c = cmp(keys[i], keys[*pos]);
            if (descending ? c >= 0 : c <= 0) break;
            ++pos;
        }
        order.insert(pos, i);
    }
    return order;
}

TEST(SortTest, MatchesInsertionOrder) {
    std::mt19937 rng(7);
    const char* pool[] = {"a", "A", "b", "B", "c", "d", nullptr, "aa", ""};
    for (int round = 0; round < 20; round++) {
        std::vector<const char*> keys;
        ValList vl;
        ValNameList nl;
        for (int i = 0; i < 60; i++) {
            keys.push_back(pool[rng() % 9]);
            std::string tag = std::to_string(i);
            vl.Append(keys.back());
            nl.Append(keys.back(), keys.back(), keys.back(), tag.c_str());
        }
        auto check = [&](ValNameList* sorted, bool descending, const char* what) {
            std::vector<int> want = InsertionOrder(keys, descending);
            Texts got, expected;
            for (ValNameListItem* i = sorted->head; i; i = i->next) got.push_back(i->extra2);
            for (int i : want) expected.push_back(std::to_string(i));
            EXPECT_EQ(got, expected) << what;
            delete sorted;
        };
        check(nl.SortListByName(), false, "by name");
        check(nl.SortListByAscendingValue(), false, "ascending value");
        check(nl.SortListByDescendingValue(strcasecmp), true, "descending value");
        check(nl.SortListByDescendingValue2(nullptr), true, "descending extra1");

        ValList* sorted = vl.SortList();
        Texts expected;
        for (int i : InsertionOrder(keys, false)) expected.push_back(keys[i] ? keys[i] : kAbsent);
        EXPECT_EQ(Values(*sorted), expected);
        EXPECT_EQ(vl.count, 60);  // source untouched
        delete sorted;
    }
}

TEST(ValListFileTest, ReadsItemsAndReportsErrors) {
    struct Case { std::string content; ZaBoolean header; Texts items; const char* error; };  // error: null on success
    const std::vector<Case> cases = {
        {"BEGIN:vList\na\r\n \t\nb\nEND:vList trailing\nc\n", ZaTrue, {"a", kAbsent, "b"}, nullptr},
        {"a\nEND:vList\n", ZaFalse, {"a"}, nullptr},
        {"", ZaTrue, {}, "Error : line 420 in file utillib/src/vallist : Unable to read list header"},
        {"BEGIN:vNameList\n", ZaTrue, {}, "Error : line 425 in file utillib/src/vallist : Malformed list header"},
        {"BEGIN:vList\nx\n", ZaTrue, {"x"}, "Error : line 443 in file utillib/src/vallist : Premature end of list"},
        {"BEGIN:vList\n" + std::string(1030, 'q') + "\nEND:vList\n", ZaTrue,
         {std::string(1023, 'q'), std::string(7, 'q')}, nullptr},
    };
    for (const Case& c : cases) {
        FILE* f = FileWith(c.content);
        ValList list;
        try {
            list.Read(f, c.header);
            EXPECT_EQ(c.error, nullptr) << c.content;
        } catch (ZaError* e) {
            ASSERT_NE(c.error, nullptr) << c.content;
            EXPECT_EQ(Values(e->lines), Texts{c.error});
            EXPECT_EQ(e->userMessages.count, 0);
            delete e;
        }
        EXPECT_EQ(Values(list), c.items) << c.content;
        fclose(f);
    }
}

// The first trace line of the ZaError that op throws, or "" when it throws none.
template <class Op>
std::string FirstTraceLine(Op op) {
    try {
        op();
    } catch (ZaError* e) {
        std::string line = e->lines.head->value;
        delete e;
        return line;
    }
    return "";
}

TEST(ValListFileTest, PathRoundTripAndFailures) {
    char tmpl[] = "/tmp/vallist_test.XXXXXX";
    const std::string dir = mkdtemp(tmpl), path = dir + "/list.lst", bad = dir + "/bad.lst", nowhere = dir + "/no/x";
    ValList list, back, untouched;
    ValNameList names;
    list.Append("one")->Append(nullptr)->Append("three");
    list.Write(path.c_str());
    back.Read(path.c_str(), ZaTrue);
    EXPECT_EQ(Values(back), (Texts{"one", kAbsent, "three"}));
    untouched.Read((dir + "/none").c_str(), ZaTrue);  // a missing file is no error
    EXPECT_EQ(untouched.count, 0);
    FILE* f = fopen(bad.c_str(), "w");
    fputs("BEGIN:vList\n", f);
    fclose(f);

    const std::string prefix = "Error : line ";
    EXPECT_EQ(FirstTraceLine([&] { back.Read(bad.c_str(), ZaTrue); }),
              prefix + "465 in file utillib/src/vallist : Unable to read the list from file " + bad);
    EXPECT_EQ(FirstTraceLine([&] { list.Write(nowhere.c_str()); }),
              prefix + "504 in file utillib/src/vallist : Unable to open file " + nowhere + " for writing");
    EXPECT_EQ(FirstTraceLine([&] { names.Write(nowhere.c_str()); }),
              prefix + "1284 in file utillib/src/vallist : Unable to open file " + nowhere + " for writing");
    for (const std::string& file : {path, bad}) unlink(file.c_str());
    rmdir(dir.c_str());
}

// Reads a name list file holding `content`; returns what the reader printed.
std::string ReadNameList(const std::string& content, ValNameList& list) {
    FILE* f = FileWith(content);
    testing::internal::CaptureStdout();
    list.Read(f, ZaTrue);
    fflush(stdout);
    fclose(f);
    return testing::internal::GetCapturedStdout();
}

TEST(ValNameListFileTest, FoldedValuesRoundTrip) {
    ValNameList list;
    list.Append("plain", "a:b")->Append("lf", "one\ntwo")->Append("crlf", "x\r\ny")->Append(nullptr, "v");
    list.Append("trail", "ends=0A=")->Append("empty", nullptr);
    FILE* f = tmpfile();
    list.Write(f);
    const std::string written = Contents(f);
    fclose(f);
    EXPECT_EQ(written,
              "BEGIN:vNameList\nplain:a:b\nlf:one=0A=\n two\ncrlf:x=0A=\n y\n:v\ntrail:ends=0A=\nempty:\nEND:vNameList\n");
    ValNameList back;
    EXPECT_EQ(ReadNameList(written, back), "");
    // The value that itself ended in the fold marker swallows the next line.
    EXPECT_EQ(Names(back), (Texts{"plain", "lf", "crlf", kAbsent, "trail"}));
    EXPECT_STREQ(back.GetNthItem(1)->value, "one\ntwo");
    EXPECT_STREQ(back.GetNthItem(2)->value, "x\ny");
    EXPECT_STREQ(back.GetNthItem(4)->value, "ends\nmpty:");
}

TEST(ValNameListFileTest, ReaderComplainsOnStandardOutput) {
    struct Case { const char* content; const char* printed; Texts names; };
    const std::vector<Case> cases = {
        {"", "Unable to read list headerPremature end of list. Last string read was <>\n", {}},
        {"BEGIN:vList\nno colon\nEND:vNameList\n", "Malformed list header", {kAbsent}},
        {"BEGIN:vNameList\na:1\nb:2\n", "Premature end of list. Last string read was <b:2>\n", {"a", "b"}},
        {"BEGIN:vNameList\na:1=0A=\n", "Premature end of list. Last string read was <a:1\n>\n", {}},
        {"BEGIN:vNameList\n  :x\nEND:vNameListX\nc:3\n", "", {kAbsent}},
    };
    for (const Case& c : cases) {
        ValNameList list;
        EXPECT_EQ(ReadNameList(c.content, list), c.printed) << c.content;
        EXPECT_EQ(Names(list), c.names) << c.content;
    }
}

}  // namespace
