#pragma once
#include <cstdint>

// The key rectangles of the input replay window, one per key index. The
// rows come from VQKeyTable.inc, the table the keyboard picture is drawn
// from, so a marked key always sits on its picture.

struct VQKeyRect {
    int16_t x, y, width, height;  // in the replay window
};

// Indexes: 0 "ml", 1 "mm", 2 "mr"; "c<n>" is n + 2 and "e<n>" is n + 258.
static const int kVQKeyTableSize = 512;
// Where keys without a place of their own are marked.
static const VQKeyRect kVQOtherKey = {404, 110, 16, 16};

// The table index of a .di key name, or -1 for a name that names no slot
// (unknown text, a scan code that is not a decimal number of 0 to 255, or
// one whose index would fall past the table, such as "e254").
int VQDiKeyIndex(const char* name);

// Fills table[kVQKeyTableSize]: every slot with kVQOtherKey, then the keys
// of the picture.
void VQFillKeyTable(VQKeyRect* table);

// The rows of VQKeyTable.inc, for checks of the table itself.
struct VQKeyRow {
    const char* name;
    int x, y, width, height;
    const char* label;
};
int VQKeyRowCount();
const VQKeyRow* VQKeyRows();
