// The linking and unlinking that the library's singly linked lists have in
// common. Each list keeps `head`, `tail` and `count`, and each item a `next`
// pointer; what an item holds, and who owns it, stays the list's own business.
#ifndef LINKED_ITEMS_H
#define LINKED_ITEMS_H

template <class List, class Item>
void LinkAtEnd(List* list, Item* item) {
    if (list->tail)
        list->tail->next = item;
    else
        list->head = item;
    list->tail = item;
    list->count++;
}

template <class List, class Item>
void LinkAtFront(List* list, Item* item) {
    item->next = list->head;
    list->head = item;
    if (!list->tail) list->tail = item;
    list->count++;
}

template <class List, class Item>
void LinkAfter(List* list, Item* at, Item* added) {
    added->next = at->next;
    at->next = added;
    if (list->tail == at) list->tail = added;
    list->count++;
}

// Visits the first `count` items of a list as it stands now, so that a list
// that grows while it is visited (a list added to itself) is still done.
template <class List, class Visit>
void VisitCounted(const List* list, Visit visit) {
    int n = list->count;
    auto* item = list->head;
    for (int i = 0; i < n && item; i++, item = item->next) visit(item);
}

// The first item that `wanted` accepts, or null.
template <class Item, class Wanted>
Item* FirstWhere(Item* head, Wanted wanted) {
    for (Item* item = head; item; item = item->next)
        if (wanted(item)) return item;
    return nullptr;
}

// The place of the first item that `wanted` accepts, counted from 0, or -1.
template <class Item, class Wanted>
int IndexWhere(const Item* head, Wanted wanted) {
    int i = 0;
    for (const Item* item = head; item; item = item->next, i++)
        if (wanted(item)) return i;
    return -1;
}

// The item n steps from the head; a negative n gives the head itself.
template <class Item>
Item* StepFrom(Item* head, int n) {
    Item* item = head;
    for (int i = 0; i < n && item; i++) item = item->next;
    return item;
}

// Unlinks and deletes every item that `doomed` accepts, or only the first one.
template <class List, class Doomed>
void UnlinkWhere(List* list, Doomed doomed, bool onlyFirst) {
    decltype(list->head) prev = nullptr;
    auto* item = list->head;
    while (item) {
        auto* next = item->next;
        if (!doomed(item)) {
            prev = item;
            item = next;
            continue;
        }
        (prev ? prev->next : list->head) = next;
        if (list->tail == item) list->tail = prev;
        delete item;
        list->count--;
        if (onlyFirst) return;
        item = next;
    }
}

template <class List>
void UnlinkAll(List* list) {
    while (list->head) {
        auto* next = list->head->next;
        delete list->head;
        list->head = next;
    }
    list->tail = nullptr;
    list->count = 0;
}

#endif
