// Cards, their properties and the properties' parameters are kept in chains
// linked through `next`; a chain owns what it links.
#ifndef CHAIN_H
#define CHAIN_H

// Deletes every link from head on, one at a time so that a long chain needs
// no deep recursion.
template <class Link>
void DeleteChain(Link* head) {
    while (head != nullptr) {
        Link* following = head->next;
        delete head;
        head = following;
    }
}

template <class Link>
void AppendToChain(Link*& head, Link* added) {
    Link** end = &head;
    while (*end != nullptr) end = &(*end)->next;
    *end = added;
}

// A new chain of each link's Copy(), in the same order.
template <class Link>
Link* CopyChain(const Link* head) {
    Link* copy = nullptr;
    Link** end = &copy;
    for (; head != nullptr; head = head->next) {
        *end = head->Copy();
        end = &(*end)->next;
    }
    return copy;
}

#endif
