#pragma once

// List of pointers that never owns its items; the array is exactly Count()
// long. Lists in this system are short, so it grows and shrinks by one slot.
class CVKPtrList {
public:
    CVKPtrList();
    CVKPtrList(const CVKPtrList&) = delete;
    CVKPtrList& operator=(const CVKPtrList&) = delete;
    virtual ~CVKPtrList();

    // index -1 or Count() appends; returns the item's index, or -1 when the
    // index is below -1 or beyond Count().
    int Insert(void* item, int index = -1);
    void* Get(int index) const;
    void Set(int index, void* item);
    void RemoveAt(int index);
    void Remove(void* item);
    int IndexOf(const void* item) const;
    int Count() const { return m_count; }
    void Clear();

private:
    int m_count;
    void** m_items;
};
