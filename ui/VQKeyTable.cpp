#include "VQKeyTable.h"

#include <cstring>

namespace {
const VQKeyRow kRows[] = {
#define VQ_KEY(name, x, y, w, h, label) {name, x, y, w, h, label},
#include "VQKeyTable.inc"
#undef VQ_KEY
};
}  // namespace

int VQKeyRowCount() { return static_cast<int>(sizeof kRows / sizeof kRows[0]); }
const VQKeyRow* VQKeyRows() { return kRows; }

int VQDiKeyIndex(const char* name) {
    if (!name) return -1;
    if (!strcmp(name, "ml")) return 0;
    if (!strcmp(name, "mm")) return 1;
    if (!strcmp(name, "mr")) return 2;
    if (name[0] != 'c' && name[0] != 'e') return -1;
    // A scan code is one byte: one to three decimal digits, at most 255.
    int code = 0, digits = 0;
    for (const char* p = name + 1; *p; ++p) {
        if (*p < '0' || *p > '9' || ++digits > 3) return -1;
        code = code * 10 + (*p - '0');
    }
    if (digits == 0 || code > 255) return -1;
    const int index = code + (name[0] == 'c' ? 2 : 258);
    return index < kVQKeyTableSize ? index : -1;
}

void VQFillKeyTable(VQKeyRect* table) {
    for (int i = 0; i < kVQKeyTableSize; ++i) table[i] = kVQOtherKey;
    for (const VQKeyRow& row : kRows) {
        const int index = VQDiKeyIndex(row.name);
        if (index < 0) continue;
        table[index] = {static_cast<int16_t>(row.x), static_cast<int16_t>(row.y), static_cast<int16_t>(row.width),
                        static_cast<int16_t>(row.height)};
    }
}
