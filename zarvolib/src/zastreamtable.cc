// A grid table whose entries are built, written and freed a batch at a time
// while it is emitted.
#include "zastreamtable.h"

#include <algorithm>
#include <memory>
#include <utility>

ZaStreamedTable::ZaStreamedTable(int columns, ZaBoolean spaced, int spacerWidth)
    : ZaTable(columns, spaced, spacerWidth), entryCount_(0), nextEntry_(0), batchEntries_(1) {}

void ZaStreamedTable::StreamEntries(size_t count, EntryWriter write, size_t batchEntries) {
    entryCount_ = count;
    nextEntry_ = 0;
    batchEntries_ = std::max<size_t>(batchEntries, 1);
    write_ = std::move(write);
}

// The rows in front of keep are written exactly as the emitter writes a
// node's children, then destroyed.
void ZaStreamedTable::EmitRowsBefore(HTMLObject* keep, RequestInfo* out, int indent, int lineBreaks,
                                     const char* style) {
    std::unique_ptr<HTMLObject> rows(detachChildrenBefore(keep));
    if (!rows) return;
    // A table whose flags were cleared hands them down to every row, as its
    // data step does for the rows it holds when it is written.
    if (!escape) rows->DontEscape(ZaTrue);
    if (!enhance) rows->DontEnhance(ZaTrue);
    rows->emit(out, indent + 2, lineBreaks, style);
}

void ZaStreamedTable::emit(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    emitStartFlag(out, indent, lineBreaks, style);
    emitData(out);
    emitIncludes(out);
    // The open row waits for the items of the next batch.
    EmitRowsBefore(currentRow, out, indent, lineBreaks, style);
    while (nextEntry_ < entryCount_) {
        const size_t end = std::min(entryCount_, nextEntry_ + batchEntries_);
        for (; nextEntry_ < end; ++nextEntry_) write_(this, nextEntry_);
        EmitRowsBefore(currentRow, out, indent, lineBreaks, style);
    }
    // A last row that was never filled up goes out as it stands.
    currentRow = nullptr;
    lastCell = nullptr;
    count = 0;
    EmitRowsBefore(nullptr, out, indent, lineBreaks, style);
    emitEndFlag(out, indent, lineBreaks);
    if (next) next->emit(out, indent, lineBreaks, style);
}
