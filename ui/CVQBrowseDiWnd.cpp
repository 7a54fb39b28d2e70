#include "CVQBrowseDiWnd.h"

#include <windows.h>

#include "CVQBrowsePlayWnd.h"
#include "CVQPen.h"
#include "CVQSolidBrush.h"

namespace {
const int kKeyboardImage = 4138;
const int kPictureX = 2, kPictureY = 12;
const uint32_t kFace = 0xFFCDE8FF;
}  // namespace

CVQBrowseDiWnd::CVQBrowseDiWnd() : m_player(nullptr), m_pending{}, m_hasPending(0), m_drawn(0) {
    m_kind = kView;
    VQFillKeyTable(m_keys);
}

CVQBrowseDiWnd::~CVQBrowseDiWnd() {
    if (m_player) m_player->DetachInput(this);
    m_player = nullptr;
}

const VQKeyRect& CVQBrowseDiWnd::KeyRect(int index) const {
    return index >= 0 && index < kVQKeyTableSize ? m_keys[index] : kVQOtherKey;
}

int CVQBrowseDiWnd::Open(int32_t x, int32_t y, int32_t width, int32_t height, const char* path,
                         CVQBrowsePlayWnd* player) {
    m_path = path ? path : "";
    m_player = player;
    if (!CreateFrame(x, y, width, height)) return 0;
    CVQSolidBrush face(kFace);
    m_canvas.FillRectangle(&face, 1, 12, width - 2, height - 13);
    if (m_reader.Open(m_path.c_str()) && m_keyboard.LoadResourceImage(kKeyboardImage) == S_OK) {
        DrawKeyboard();
        SetTitle(m_path.c_str());
    } else {
        m_reader.Close();
        m_canvas.SetFont("Arial", 8, RGB(0, 0, 0), 400, 0, 0);
        m_canvas.DrawDataText(20, 40, width - 40, 16, "Error opening file", DT_SINGLELINE);
    }
    m_canvas.SetDirty(1);
    return 1;
}

void CVQBrowseDiWnd::Close() {
    if (m_player) m_player->DetachInput(this);
    m_player = nullptr;
    m_reader.Close();
    CVQFrmWnd::Close();
}

void CVQBrowseDiWnd::DrawKeyboard() {
    m_canvas.Blit(kPictureX, kPictureY, m_keyboard.DibWidth(), m_keyboard.DibHeight(), &m_keyboard, 0, 0,
                  m_keyboard.DibWidth(), m_keyboard.DibHeight());
    m_canvas.SetDirty(1);
}

void CVQBrowseDiWnd::DrawEntry(const VQDiEntry& entry) {
    ++m_drawn;
    const int index = VQDiKeyIndex(entry.name);
    if (index < 0) return;  // a name of no key
    const VQKeyRect& r = m_keys[index];
    if (entry.release) {
        // Released: the key's place from the picture again, without the mark.
        m_canvas.Blit(r.x, r.y, r.width, r.height, &m_keyboard, r.x - kPictureX, r.y - kPictureY, r.width, r.height);
    } else {
        CVQPen mark(PS_SOLID, 1, kMark);
        m_canvas.DrawRectangle(&mark, r.x, r.y, r.width, r.height);
    }
    m_canvas.SetDirty(1);
}

void CVQBrowseDiWnd::AdvanceTo(int64_t mediaMs) {
    if (!m_reader.IsOpen()) return;
    for (;;) {
        if (m_hasPending) {
            if (m_pending.time >= mediaMs) return;
            DrawEntry(m_pending);
            m_hasPending = 0;
        }
        if (!m_reader.Next(&m_pending)) return;
        m_hasPending = 1;
    }
}

void CVQBrowseDiWnd::Rewind() {
    m_hasPending = 0;
    if (!m_reader.Rewind()) return;
    if (m_keyboard.DibWidth() > 0) DrawKeyboard();
}
