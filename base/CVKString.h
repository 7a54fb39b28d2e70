#pragma once
#include <cstddef>

// Heap string of narrow characters. A string without a block and a string
// holding "" are the same value. AppendBytes is the bulk appender: it keeps a
// cursor and grows in 64 KiB steps; every other operation forgets the cursor.
class CVKString {
public:
    CVKString();
    CVKString(const char* text);
    CVKString(const CVKString& other);
    CVKString& operator=(const CVKString& other);
    virtual ~CVKString();

    const char* Get() const { return m_text; }
    // Never null: "" for the empty value. Handy for printf-style calls.
    const char* Str() const { return m_text ? m_text : ""; }
    void Set(const char* text);
    void Append(const char* text);
    size_t Length() const;
    bool Equals(const char* text) const;
    char* Detach();
    void AppendBytes(const void* bytes, size_t n);
    // Allocated size of the block while the bulk appender is in use, else 0.
    size_t Capacity() const { return m_text && m_end ? static_cast<size_t>(m_end - m_text) : 0; }

    static const size_t kGrowStep = 65536;
    // The block size AppendBytes grows a block of `size` bytes to, so that
    // `used` bytes, `n` more and the terminating zero fit: `size` plus whole
    // steps. False when that size would exceed `limit` (the largest size_t of
    // the build), so a huge n fails instead of wrapping around.
    static bool GrowthFor(size_t size, size_t used, size_t n, size_t limit, size_t* grown);

private:
    void ResetCursor() {
        m_cursor = nullptr;
        m_end = nullptr;
    }

    char* m_text;
    char* m_cursor;  // where AppendBytes writes next
    char* m_end;     // end of the allocated block
};
