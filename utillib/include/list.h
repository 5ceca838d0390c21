// VoidList: a singly linked list of pointers that it does not own. Destroying
// the list or removing an item never touches the pointed-to objects.
#ifndef LIST_H
#define LIST_H

class VoidItem {
public:
    void* data;      // not owned
    VoidItem* next;

    explicit VoidItem(void* d);
};

class VoidList {
public:
    VoidItem* head;
    int count;
    VoidItem* tail;

    VoidList();
    VoidList(const VoidList&) = delete;
    VoidList& operator=(const VoidList&) = delete;
    virtual ~VoidList();

    // First item whose data equals the pointer, or none. Subclasses may redefine
    // what counts as a duplicate; the WithDupCheck operations call this.
    virtual VoidItem* Lookup(const void* data);

    VoidList* Append(void* data);
    VoidList* Prepend(void* data);
    VoidList* AppendWithDupCheck(void* data);
    VoidList* PrependWithDupCheck(void* data);
    void AddAfter(VoidItem* item, void* data);
    void Add(VoidList* other);
    void AddWithDupCheck(VoidList* other);
    VoidList* Copy() const;          // new list owned by the caller
    VoidItem* GetNthItem(int n);     // negative n gives the first item
    void Remove(void* data);         // first item whose data equals the pointer
    void RemoveAll();
    void SwapItems(VoidItem* a, VoidItem* b);
};

#endif
