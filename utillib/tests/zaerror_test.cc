#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zaerror.h"

namespace {

std::vector<std::string> Texts(const ValList& list) {
    std::vector<std::string> out;
    for (ValListItem* i = list.head; i; i = i->next) out.push_back(i->value);
    return out;
}

TEST(ZaErrorTest, TraceLinesNewestFirstAndDeepCopy) {
    ZaError e;
    EXPECT_EQ(e.level, 2);
    e.AddLine(420, "utillib/src/vallist", "Unable to read list header", ZaFalse);
    e.AddLine(7, String("a/b"), String("Please retry"), ZaTrue);
    e.AddLine(8, "a/c", "not shown", static_cast<ZaBoolean>(2));  // only 1 counts as true
    EXPECT_EQ(Texts(e.lines), (std::vector<std::string>{
                                  "Error : line 8 in file a/c : not shown",
                                  "Error : line 7 in file a/b : Please retry",
                                  "Error : line 420 in file utillib/src/vallist : Unable to read list header",
                              }));
    EXPECT_EQ(Texts(e.userMessages), std::vector<std::string>{"Please retry"});

    e.level = 4;
    ZaError* copy = e.Copy();
    EXPECT_EQ(copy->level, 4);
    EXPECT_EQ(Texts(copy->lines), Texts(e.lines));
    EXPECT_EQ(Texts(copy->userMessages), Texts(e.userMessages));
    EXPECT_NE(copy->lines.head->value, e.lines.head->value);
    delete copy;
}

}  // namespace
