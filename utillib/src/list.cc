#include "list.h"

#include <utility>

#include "linked_items.h"

VoidItem::VoidItem(void* d) : data(d), next(nullptr) {}

VoidList::VoidList() : head(nullptr), count(0), tail(nullptr) {}

VoidList::~VoidList() { RemoveAll(); }

VoidItem* VoidList::Lookup(const void* data) {
    return FirstWhere(head, [data](const VoidItem* item) { return item->data == data; });
}

VoidList* VoidList::Append(void* data) {
    LinkAtEnd(this, new VoidItem(data));
    return this;
}

VoidList* VoidList::Prepend(void* data) {
    LinkAtFront(this, new VoidItem(data));
    return this;
}

VoidList* VoidList::AppendWithDupCheck(void* data) {
    if (!Lookup(data)) Append(data);
    return this;
}

VoidList* VoidList::PrependWithDupCheck(void* data) {
    if (!Lookup(data)) Prepend(data);
    return this;
}

void VoidList::AddAfter(VoidItem* item, void* data) {
    if (!item) return;
    LinkAfter(this, item, new VoidItem(data));
}

void VoidList::Add(VoidList* other) {
    if (!other) return;
    VisitCounted(other, [this](const VoidItem* item) { Append(item->data); });
}

void VoidList::AddWithDupCheck(VoidList* other) {
    if (!other) return;
    VisitCounted(other, [this](const VoidItem* item) { AppendWithDupCheck(item->data); });
}

VoidList* VoidList::Copy() const {
    VoidList* copy = new VoidList;
    for (VoidItem* item = head; item; item = item->next) copy->Append(item->data);
    return copy;
}

VoidItem* VoidList::GetNthItem(int n) { return StepFrom(head, n); }

void VoidList::Remove(void* data) {
    UnlinkWhere(this, [data](const VoidItem* item) { return item->data == data; }, true);
}

void VoidList::RemoveAll() { UnlinkAll(this); }

void VoidList::SwapItems(VoidItem* a, VoidItem* b) {
    if (a && b) std::swap(a->data, b->data);
}
