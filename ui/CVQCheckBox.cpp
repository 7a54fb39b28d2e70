#include "CVQCheckBox.h"

#include <windows.h>

#include "CVQHUD.h"

namespace {
// Picture ids by look (normal, focused, disabled) and state (0, 1, 2).
const int kPictureIds[3][3] = {{4109, 4107, 4108}, {4112, 4110, 4111}, {4115, 4113, 4114}};
CVQGraphics* g_pictures[3][3] = {};
int g_boxes = 0;  // check boxes alive; the pictures go with the last one

void LoadPictures() {
    for (int look = 0; look < 3; ++look)
        for (int state = 0; state < 3; ++state) {
            g_pictures[look][state] = new CVQGraphics();
            g_pictures[look][state]->LoadResourceImage(kPictureIds[look][state]);
        }
}

void FreePictures() {
    for (auto& row : g_pictures)
        for (CVQGraphics*& picture : row) {
            delete picture;
            picture = nullptr;
        }
}
}  // namespace

CVQCheckBox::CVQCheckBox() : m_state(0), m_focused(0), m_disabled(0), m_triState(0), m_wrap(1), m_picture(nullptr) {
    if (g_boxes++ == 0) LoadPictures();
    m_picture = g_pictures[0][0];
}

CVQCheckBox::~CVQCheckBox() {
    if (--g_boxes == 0) FreePictures();
}

int CVQCheckBox::Create(int32_t x, int32_t y, int32_t, int32_t, CVQWindow* parent) {
    m_x = x;
    m_y = y;
    m_parent = parent;
    m_needsRedraw = 1;
    return 1;
}

CVQGraphics* CVQCheckBox::GetGraphics() { return m_picture ? m_picture : &m_canvas; }

void CVQCheckBox::SetState(int state) {
    const int max = m_triState ? 2 : 1;
    if (m_wrap) {
        if (state < 0)
            state = max;
        else if (state > max)
            state = 0;
    } else {
        if (state < 1)
            state = max;
        else if (state > max)
            state = 1;
    }
    m_state = state;
    Invalidate();
}

void CVQCheckBox::SetDisabled(int flag) {
    m_disabled = flag ? 1 : 0;
    Invalidate();
}

void CVQCheckBox::SetFocused(int flag) {
    m_focused = flag ? 1 : 0;
    Invalidate();
}

void CVQCheckBox::SetTriState(int flag) {
    m_triState = flag ? 1 : 0;
    if (!m_triState && m_state > 1) SetState(m_state);
    Invalidate();
}

int CVQCheckBox::PrepareSurface() {
    if (!m_needsRedraw) return 1;
    m_needsRedraw = 0;
    const int look = m_disabled ? 2 : (m_focused ? 1 : 0);
    const int state = m_state < 0 ? 0 : (m_state > 2 ? 2 : m_state);
    m_picture = g_pictures[look][state];
    // The shared picture is copied by whichever frame draws this box next.
    if (m_picture) m_picture->SetDirty(1);
    return 1;
}

int CVQCheckBox::OnKeyboard(uint32_t message, uint32_t key, uint32_t, int* handled) {
    if (message != WM_KEYDOWN || key != VK_SPACE) return 0;
    *handled = 1;
    // A disabled box keeps its state whatever key reaches it.
    if (m_disabled) return 0;
    Step();
    int ignored = 0;
    if (m_parent) m_parent->OnNotify(0, nullptr, this, &ignored);
    return 0;
}

int CVQCheckBox::OnMouse(uint32_t message, uint32_t, uint32_t, int* handled) {
    if (message != WM_LBUTTONDOWN) return 0;
    *handled = 1;
    if (m_disabled) return 0;
    if (CVQHUD* hud = VQHud()) hud->SetFocusWindow(this, true);
    Step();
    int ignored = 0;
    if (m_parent) m_parent->OnNotify(0, nullptr, this, &ignored);
    return 0;
}

int CVQCheckBox::OnNotify(int code, void*, CVQWindow*, int*) {
    if (code == 7 || code == 8) SetFocused(code == 7);
    return 0;
}
