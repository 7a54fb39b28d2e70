#pragma once
#include "CVKString.h"
#include "CVQCheckBox.h"

// One row of the friends list (not a window): the friend's group, shown
// text, user name, online status and three three-state permission boxes
// drawn by the list at x 274, 316 and 357.
class CVQContact {
public:
    // Box 1 gets state 1 if p1 is set and 2 otherwise, box 2 from p2, box 3 from p3.
    CVQContact(int group, const char* text, const char* name, int status, int p1, int p2, int p3);
    CVQContact(const CVQContact&) = delete;
    CVQContact& operator=(const CVQContact&) = delete;

    int group;
    CVKString text;
    CVKString name;
    int status;  // 0 to 3
    CVQCheckBox boxes[3];
    int selected;

    static const int kBoxX[3];
    static constexpr int kBoxWidth = 17;
    static constexpr int kBoxHeight = 13;
};
