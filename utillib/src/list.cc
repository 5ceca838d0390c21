#include "list.h"

VoidItem::VoidItem(void* d) : data(d), next(nullptr) {}

VoidList::VoidList() : head(nullptr), count(0), tail(nullptr) {}

VoidList::~VoidList() { RemoveAll(); }

VoidItem* VoidList::Lookup(const void* data) {
    for (VoidItem* item = head; item; item = item->next)
        if (item->data == data) return item;
    return nullptr;
}

VoidList* VoidList::Append(void* data) {
    VoidItem* item = new VoidItem(data);
    if (tail)
        tail->next = item;
    else
        head = item;
    tail = item;
    count++;
    return this;
}

VoidList* VoidList::Prepend(void* data) {
    VoidItem* item = new VoidItem(data);
    item->next = head;
    head = item;
    if (!tail) tail = item;
    count++;
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
    VoidItem* added = new VoidItem(data);
    added->next = item->next;
    item->next = added;
    if (tail == item) tail = added;
    count++;
}

void VoidList::Add(VoidList* other) {
    if (!other) return;
    // Bounded by the other's count so that adding a list to itself ends.
    int n = other->count;
    VoidItem* item = other->head;
    for (int i = 0; i < n && item; i++, item = item->next) Append(item->data);
}

void VoidList::AddWithDupCheck(VoidList* other) {
    if (!other) return;
    int n = other->count;
    VoidItem* item = other->head;
    for (int i = 0; i < n && item; i++, item = item->next) AppendWithDupCheck(item->data);
}

VoidList* VoidList::Copy() const {
    VoidList* copy = new VoidList;
    for (VoidItem* item = head; item; item = item->next) copy->Append(item->data);
    return copy;
}

VoidItem* VoidList::GetNthItem(int n) {
    VoidItem* item = head;
    for (int i = 0; i < n && item; i++) item = item->next;
    return item;
}

void VoidList::Remove(void* data) {
    VoidItem* prev = nullptr;
    for (VoidItem* item = head; item; prev = item, item = item->next) {
        if (item->data != data) continue;
        (prev ? prev->next : head) = item->next;
        if (tail == item) tail = prev;
        delete item;
        count--;
        return;
    }
}

void VoidList::RemoveAll() {
    while (head) {
        VoidItem* next = head->next;
        delete head;
        head = next;
    }
    tail = nullptr;
    count = 0;
}

void VoidList::SwapItems(VoidItem* a, VoidItem* b) {
    if (!a || !b) return;
    void* data = a->data;
    a->data = b->data;
    b->data = data;
}
