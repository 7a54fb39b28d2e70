#include "VKNetText.h"

#include <climits>
#include <cstdlib>

int64_t VKParseInt64(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // Accumulate as a negative number so INT64_MIN is reachable.
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        int digit = *p - '0';
        if (value < (INT64_MIN + digit) / 10) {
            value = INT64_MIN;
            for (++p; *p >= '0' && *p <= '9'; ++p) {
            }
            break;
        }
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == INT64_MIN ? INT64_MAX : -value;
}

int VKParseInt(const char* text) {
    int64_t value = VKParseInt64(text);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool VKIsLineText(const char* text) {
    if (!text) return true;
    for (const char* p = text; *p; ++p)
        if (*p == '\n' || *p == '\r') return false;
    return true;
}

bool VKIsLineField(const char* text) { return text && *text && VKIsLineText(text); }

std::string VKFlattenLine(const char* text) {
    std::string line(text ? text : "");
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line;
}

std::string VKPercentEncode(const char* text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : ""); *p; ++p) {
        const unsigned char c = *p;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}
