#include "CVQSolidBrush.h"

CVQSolidBrush::CVQSolidBrush(uint32_t colour) { SetColor(colour); }

HRESULT CVQSolidBrush::SetColor(uint32_t colour) {
    if (m_handle) {
        DeleteObject(m_handle);
        m_handle = nullptr;
    }
    LOGBRUSH brush;
    brush.lbStyle = BS_SOLID;
    brush.lbColor = ToColorRef(colour);
    brush.lbHatch = 0;
    m_handle = CreateBrushIndirect(&brush);
    return m_handle ? S_OK : E_FAIL;
}
