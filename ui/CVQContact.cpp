#include "CVQContact.h"

const int CVQContact::kBoxX[3] = {274, 316, 357};

CVQContact::CVQContact(int groupIndex, const char* shown, const char* userName, int onlineStatus, int p1, int p2,
                       int p3)
    : group(groupIndex), text(shown), name(userName), status(onlineStatus), selected(0) {
    const int flags[3] = {p1, p2, p3};
    for (int i = 0; i < 3; ++i) {
        boxes[i].SetTriState(1);
        boxes[i].SetWrap(0);
        boxes[i].SetState(flags[i] ? 1 : 2);
    }
}
