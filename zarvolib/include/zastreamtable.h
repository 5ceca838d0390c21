// ZaStreamedTable: a ZaTable for lists of any length. The rows already in it
// (its headings) are written first; then, while the table is emitted, the
// entries are added a batch at a time, written as soon as their rows are
// complete and destroyed, so that a page never holds more than one batch of
// rows. The output is the same as that of a ZaTable holding every entry.
#ifndef ZASTREAMTABLE_H
#define ZASTREAMTABLE_H

#include <cstddef>
#include <functional>

#include "zatables.h"

class ZaStreamedTable : public ZaTable {
public:
    // Adds the items of entry `index` to the table (with addObject), as a
    // ZaTable is filled; called in index order while the table is emitted.
    using EntryWriter = std::function<void(ZaTable* table, size_t index)>;

    ZaStreamedTable(int columns, ZaBoolean spaced, int spacerWidth);

    // The table's entries: count of them, each added by write when its turn
    // comes. batchEntries entries are built before their rows are written.
    void StreamEntries(size_t count, EntryWriter write, size_t batchEntries = 256);

    // Writes the table with all its entries, then the following siblings.
    // The entries are consumed: the table is meant to be emitted once.
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;

private:
    void EmitRowsBefore(HTMLObject* keep, RequestInfo* out, int indent, int lineBreaks, const char* style);

    size_t entryCount_;
    size_t nextEntry_;
    size_t batchEntries_;
    EntryWriter write_;
};

#endif
