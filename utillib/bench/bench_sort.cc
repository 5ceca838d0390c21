// Times every list sort on 100,000 items of random keys (with many repeats)
// and prints one line per sort.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <strings.h>

#include "vallist.h"

namespace {

const int kItems = 100000;

template <class Sort>
void Time(const char* what, Sort sort) {
    auto start = std::chrono::steady_clock::now();
    int sorted = sort();
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    printf("%-32s %d items %8.1f ms\n", what, sorted, took.count());
}

}  // namespace

int main() {
    std::mt19937 rng(42);
    ValList values;
    ValNameList names;
    for (int i = 0; i < kItems; i++) {
        std::string key = "key" + std::to_string(rng() % (kItems / 4));
        std::string other = std::to_string(rng() % 1000);
        values.Append(key.c_str());
        names.Append(key.c_str(), other.c_str(), key.c_str());
    }
    auto count = [](auto* list) {
        int n = list->count;
        delete list;
        return n;
    };
    Time("ValList::SortList", [&] { return count(values.SortList(strcasecmp)); });
    Time("SortListByName", [&] { return count(names.SortListByName()); });
    Time("SortListByAscendingValue", [&] { return count(names.SortListByAscendingValue()); });
    Time("SortListByDescendingValue", [&] { return count(names.SortListByDescendingValue(strcasecmp)); });
    Time("SortListByDescendingValue2", [&] { return count(names.SortListByDescendingValue2(strcasecmp)); });
    return 0;
}
