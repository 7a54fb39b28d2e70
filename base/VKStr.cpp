#include "VKStr.h"

#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include <string.h>
#define vk_stricmp _stricmp
#else
#include <strings.h>
#define vk_stricmp strcasecmp
#endif

char* VKStrDup(const char* text) {
    if (!text) return nullptr;
    size_t n = strlen(text) + 1;
    char* copy = static_cast<char*>(malloc(n));
    if (copy) memcpy(copy, text, n);
    return copy;
}

static bool IsEmpty(const char* s) { return !s || !*s; }

bool VKStrEqual(const char* a, const char* b) {
    if (IsEmpty(a) || IsEmpty(b)) return IsEmpty(a) && IsEmpty(b);
    return strcmp(a, b) == 0;
}

bool VKStrEqualNoCase(const char* a, const char* b) {
    if (IsEmpty(a) || IsEmpty(b)) return IsEmpty(a) && IsEmpty(b);
    return vk_stricmp(a, b) == 0;
}

static bool IsContinuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

unsigned VKUtf8Decode(const char* text, int* length) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    unsigned c = p[0];
    if (c < 0x80) {
        *length = 1;
        return c;
    }
    if (c >= 0xC0 && c <= 0xDF && IsContinuation(p[1])) {
        *length = 2;
        return ((c & 0x1F) << 6) | (p[1] & 0x3F);
    }
    // p[1] is checked before p[2] is read, so a terminating zero stops the scan.
    if (c >= 0xE0 && c <= 0xEF && IsContinuation(p[1]) && IsContinuation(p[2])) {
        *length = 3;
        return ((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
    }
    *length = 1;
    return 0x80;
}

int VKUtf8Length(const char* text) {
    if (!text) return 0;
    int count = 0;
    while (*text) {
        int len = 1;
        VKUtf8Decode(text, &len);
        text += len;
        ++count;
    }
    return count;
}

void VKStrCopy(char* dest, size_t size, const char* src) {
    if (!size) return;
    size_t n = src ? strlen(src) : 0;
    if (n >= size) n = size - 1;
    if (n) memcpy(dest, src, n);
    dest[n] = 0;
}
