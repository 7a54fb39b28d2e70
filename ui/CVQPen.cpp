#include "CVQPen.h"

CVQPen::CVQPen() { SetPen(PS_SOLID, 1, 0xFF000000); }

CVQPen::CVQPen(int style, int width, uint32_t colour) { SetPen(style, width, colour); }

HRESULT CVQPen::SetPen(int style, int width, uint32_t colour) {
    if (m_handle) {
        DeleteObject(m_handle);
        m_handle = nullptr;
    }
    m_handle = CreatePen(style, width, ToColorRef(colour));
    return m_handle ? S_OK : E_FAIL;
}
