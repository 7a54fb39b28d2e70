#include "CVKPtrList.h"

#include <cstdlib>
#include <cstring>

CVKPtrList::CVKPtrList() : m_count(0), m_items(nullptr) {}

CVKPtrList::~CVKPtrList() { free(m_items); }

int CVKPtrList::Insert(void* item, int index) {
    if (index < -1 || index > m_count) return -1;
    if (index == -1) index = m_count;
    void** grown = static_cast<void**>(realloc(m_items, sizeof(void*) * (m_count + 1)));
    if (!grown) return -1;
    m_items = grown;
    m_items[m_count] = nullptr;
    if (index < m_count) memmove(m_items + index + 1, m_items + index, sizeof(void*) * (m_count - index));
    m_items[index] = item;
    ++m_count;
    return index;
}

void* CVKPtrList::Get(int index) const {
    if (index < 0 || index >= m_count) return nullptr;
    return m_items[index];
}

void CVKPtrList::Set(int index, void* item) {
    if (index >= 0 && index < m_count) m_items[index] = item;
}

void CVKPtrList::RemoveAt(int index) {
    if (index < 0 || index >= m_count) return;
    if (m_count == 1) {
        Clear();
        return;
    }
    memmove(m_items + index, m_items + index + 1, sizeof(void*) * (m_count - index - 1));
    --m_count;
    void** shrunk = static_cast<void**>(realloc(m_items, sizeof(void*) * m_count));
    if (shrunk) m_items = shrunk;
}

void CVKPtrList::Remove(void* item) { RemoveAt(IndexOf(item)); }

int CVKPtrList::IndexOf(const void* item) const {
    for (int i = 0; i < m_count; ++i)
        if (m_items[i] == item) return i;
    return -1;
}

void CVKPtrList::Clear() {
    free(m_items);
    m_items = nullptr;
    m_count = 0;
}
