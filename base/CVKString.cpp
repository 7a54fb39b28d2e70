#include "CVKString.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "VKStr.h"

CVKString::CVKString() : m_text(nullptr), m_cursor(nullptr), m_end(nullptr) {}

CVKString::CVKString(const char* text) : m_text(VKStrDup(text)), m_cursor(nullptr), m_end(nullptr) {}

CVKString::CVKString(const CVKString& other) : m_text(VKStrDup(other.m_text)), m_cursor(nullptr), m_end(nullptr) {}

CVKString& CVKString::operator=(const CVKString& other) {
    if (this != &other) Set(other.m_text);
    return *this;
}

CVKString::~CVKString() { free(m_text); }

void CVKString::Set(const char* text) {
    if (text == m_text) {  // setting a string to itself keeps it
        ResetCursor();
        return;
    }
    char* copy = VKStrDup(text);
    free(m_text);
    m_text = copy;
    ResetCursor();
}

void CVKString::Append(const char* text) {
    ResetCursor();
    if (!text) return;
    if (!m_text) {
        m_text = VKStrDup(text);
        return;
    }
    size_t oldLen = strlen(m_text);
    size_t addLen = strlen(text);
    // The text may be this string itself or a part of it: realloc may move or
    // free the block, so such text is found again by its offset.
    bool inside = text >= m_text && text <= m_text + oldLen;
    size_t offset = inside ? static_cast<size_t>(text - m_text) : 0;
    char* grown = static_cast<char*>(realloc(m_text, oldLen + addLen + 1));
    if (!grown) return;
    memmove(grown + oldLen, inside ? grown + offset : text, addLen + 1);
    m_text = grown;
}

size_t CVKString::Length() const { return m_text ? strlen(m_text) : 0; }

bool CVKString::Equals(const char* text) const { return VKStrEqual(m_text, text); }

char* CVKString::Detach() {
    char* text = m_text;
    m_text = nullptr;
    ResetCursor();
    return text;
}

void CVKString::AppendBytes(const void* bytes, size_t n) {
    if (!m_cursor) {
        // Start the bulk appender after the current text.
        size_t len = Length();
        size_t size = m_text ? len + 1 : 0;
        m_cursor = m_text + len;
        m_end = m_text + size;
        if (!m_text) m_cursor = m_end = nullptr;
    }
    size_t used = m_text ? static_cast<size_t>(m_cursor - m_text) : 0;
    size_t size = m_text ? static_cast<size_t>(m_end - m_text) : 0;
    // Bytes taken from this string's own block are found again by their
    // offset after the block moved.
    const char* from = static_cast<const char*>(bytes);
    bool inside = m_text && from >= m_text && from < m_text + size;
    size_t offset = inside ? static_cast<size_t>(from - m_text) : 0;
    // Room for n bytes and the terminating zero.
    if (n >= size - used) {
        size_t newSize = 0;
        if (!GrowthFor(size, used, n, SIZE_MAX, &newSize)) return;
        char* grown = static_cast<char*>(realloc(m_text, newSize));
        if (!grown) return;
        m_text = grown;
        m_end = grown + newSize;
    }
    m_cursor = m_text + used;
    if (n) memmove(m_cursor, inside ? m_text + offset : from, n);
    m_cursor += n;
    *m_cursor = 0;
}

bool CVKString::GrowthFor(size_t size, size_t used, size_t n, size_t limit, size_t* grown) {
    if (used > limit - 1 || n > limit - 1 - used) return false;
    size_t need = used + n + 1;
    if (need <= size) {
        *grown = size;
        return true;
    }
    size_t steps = (need - size - 1) / kGrowStep + 1;
    if (size > limit || steps > (limit - size) / kGrowStep) return false;
    *grown = size + steps * kGrowStep;
    return true;
}
