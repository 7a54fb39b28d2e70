#include "CVQGraphics.h"

#include <cstdlib>
#include <cstring>

#include "CVKPNG.h"
#include "CVQPen.h"
#include "VKLog.h"
#include "VQResource.h"

CVQGraphics::CVQGraphics()
    : m_dirty(1),
      m_nullPen(CreatePen(PS_NULL, 0, 0)),
      m_font(nullptr),
      m_originalPen(nullptr),
      m_originalBrush(nullptr),
      m_originalFont(nullptr) {}

CVQGraphics::~CVQGraphics() {
    // Objects selected into a context cannot be deleted: put the context's own back first.
    if (m_dib.DC()) {
        if (m_originalPen) SelectObject(m_dib.DC(), m_originalPen);
        if (m_originalBrush) SelectObject(m_dib.DC(), m_originalBrush);
        if (m_originalFont) SelectObject(m_dib.DC(), m_originalFont);
    }
    if (m_nullPen) DeleteObject(m_nullPen);
    if (m_font) DeleteObject(m_font);
    m_view.Reset();
    m_dib.Release();
}

int CVQGraphics::MakeCanvas(int width, int height) {
    // An impossible size is refused before the current bitmap is given up.
    if (width <= 0 || height <= 0 || width > CVKDib::kMaxSide || height > CVKDib::kMaxSide) return 0;
    if (!m_dib.DC() || m_dib.Width() != width || m_dib.Height() != height) {
        if (m_dib.DC()) {
            if (m_originalPen) SelectObject(m_dib.DC(), m_originalPen);
            if (m_originalBrush) SelectObject(m_dib.DC(), m_originalBrush);
            if (m_originalFont) SelectObject(m_dib.DC(), m_originalFont);
        }
        m_originalPen = m_originalBrush = m_originalFont = nullptr;
        m_view.Reset();
        if (!m_dib.Create(width, height)) return 0;
        HDC dc = m_dib.DC();
        m_originalBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        m_originalPen = SelectObject(dc, m_nullPen ? static_cast<HGDIOBJ>(m_nullPen) : GetStockObject(NULL_PEN));
        // The font chosen for the old canvas stays in use on the new one.
        if (m_font) m_originalFont = SelectObject(dc, m_font);
    } else {
        SelectObject(m_dib.DC(), GetStockObject(NULL_BRUSH));
        SelectObject(m_dib.DC(), m_nullPen ? static_cast<HGDIOBJ>(m_nullPen) : GetStockObject(NULL_PEN));
    }
    SetBkMode(m_dib.DC(), TRANSPARENT);
    RenewView();
    return 1;
}

void CVQGraphics::RenewView() {
    int width = m_dib.Width(), height = m_dib.Height();
    if (!m_dib.Bits() || width <= 0 || height <= 0) {
        m_view.Reset();
        return;
    }
    // Row 0 of the view is the top row, the last one in memory.
    int32_t stride = width * 4;
    uint8_t* top = m_dib.Bits() + static_cast<size_t>(height - 1) * static_cast<size_t>(stride);
    m_view.Init(CVKPixels::kB8G8R8A8, width, height, top, 0, -stride, 0);
}

void CVQGraphics::FlipAlpha() {
    if (!m_dib.Bits()) return;
    GdiFlush();
    size_t count = static_cast<size_t>(m_dib.Width()) * static_cast<size_t>(m_dib.Height());
    uint32_t* pixel = reinterpret_cast<uint32_t*>(m_dib.Bits());
    for (size_t i = 0; i < count; ++i) pixel[i] ^= 0xFF000000u;
}

HRESULT CVQGraphics::LoadResourceImage(int id) {
    const void* data = nullptr;
    DWORD size = 0;
    if (!VQFindImageResource(id, &data, &size)) return E_FAIL;

    CVKPNG png;
    if (!png.Open(data, size)) return E_FAIL;
    uint32_t channels = png.Channels();
    if (channels < 1 || channels > 4) return E_FAIL;
    uint32_t layout = channels == 1 ? CVKPixels::kL8 : channels == 3 ? CVKPixels::kR8G8B8 : CVKPixels::kR8G8B8A8;
    if (channels == 2) {
        // Refused before anything is decoded, so the canvas keeps its content.
        LogMessage("CVQGraphics::Create(): Illegal number of components!\n");
        return E_FAIL;
    }
    uint32_t width = png.Width(), height = png.Height();
    if (width > static_cast<uint32_t>(CVKDib::kMaxSide) || height > static_cast<uint32_t>(CVKDib::kMaxSide))
        return E_FAIL;
    uint64_t bytes = static_cast<uint64_t>(channels) * width * height;  // 64 bits: no wrap-around
    if (bytes != png.ImageBytes() || bytes > CVKPNG::kMaxImageBytes) return E_FAIL;
    uint8_t* buffer = static_cast<uint8_t*>(calloc(static_cast<size_t>(bytes), 1));
    if (!buffer) return E_FAIL;
    if (!png.ReadImage(buffer, bytes)) {
        free(buffer);
        return E_FAIL;
    }
    if (!MakeCanvas(static_cast<int>(width), static_cast<int>(height))) {
        free(buffer);
        return E_FAIL;
    }
    CVKPixels image(layout, width, height, buffer, static_cast<int32_t>(bytes), 0, 0);
    GdiFlush();
    int copied = m_view.CopyFrom(image);
    free(buffer);
    if (!copied) return E_FAIL;
    m_dirty = 1;
    return S_OK;
}

HRESULT CVQGraphics::CreateCanvas(int width, int height, uint32_t colour) {
    if (!MakeCanvas(width, height)) return E_FAIL;
    return Fill(colour);
}

HRESULT CVQGraphics::GetPixels(CVKPixels** pixels) {
    if (!pixels) return E_FAIL;
    GdiFlush();  // pending GDI drawing must reach the memory before it is read
    *pixels = &m_view;
    return S_OK;
}

HRESULT CVQGraphics::GetWidth(int* width) {
    if (!width || !m_view.Data()) return E_FAIL;
    *width = static_cast<int>(m_view.Width());
    return S_OK;
}

HRESULT CVQGraphics::GetHeight(int* height) {
    if (!height || !m_view.Data()) return E_FAIL;
    *height = static_cast<int>(m_view.Height());
    return S_OK;
}

HRESULT CVQGraphics::Fill(uint32_t colour) {
    if (!m_view.Data()) return E_FAIL;
    GdiFlush();
    m_view.Fill(colour);
    m_dirty = 1;
    return S_OK;
}

HRESULT CVQGraphics::GetPixel(int x, int y, uint32_t* colour) {
    if (!colour || !m_view.Data() || x < 0 || y < 0 || static_cast<uint32_t>(x) >= m_view.Width() ||
        static_cast<uint32_t>(y) >= m_view.Height())
        return E_FAIL;
    GdiFlush();
    *colour = m_view.GetPixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    return S_OK;
}

HRESULT CVQGraphics::SetPixel(int x, int y, uint32_t colour) {
    if (!m_view.Data() || x < 0 || y < 0 || static_cast<uint32_t>(x) >= m_view.Width() ||
        static_cast<uint32_t>(y) >= m_view.Height())
        return E_FAIL;
    GdiFlush();
    m_view.SetPixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y), colour);
    m_dirty = 1;
    return S_OK;
}

HRESULT CVQGraphics::DrawLine(CVQPen* pen, int x1, int y1, int x2, int y2) {
    HDC dc = m_dib.DC();
    if (!dc || !pen || !pen->Handle()) return E_FAIL;
    FlipAlpha();
    HGDIOBJ previous = SelectObject(dc, pen->Handle());
    BOOL drawn = previous && MoveToEx(dc, x1, y1, nullptr) && LineTo(dc, x2, y2);
    if (previous) SelectObject(dc, previous);
    FlipAlpha();
    if (!drawn) return E_FAIL;
    m_dirty = 1;
    return S_OK;
}

HRESULT CVQGraphics::DrawShape(CVQGdiTool* tool, int left, int top, int width, int height, bool ellipse) {
    HDC dc = m_dib.DC();
    if (!dc || !tool || !tool->Handle()) return E_FAIL;
    DWORD type = GetObjectType(tool->Handle());
    if (type != OBJ_PEN && type != OBJ_BRUSH && type != OBJ_EXTPEN) return E_FAIL;
    FlipAlpha();
    // The tool replaces the null pen or the null brush for this shape only, so
    // the canvas never holds it selected (it could not be deleted otherwise).
    HGDIOBJ previous = SelectObject(dc, tool->Handle());
    BOOL drawn = FALSE;
    if (previous) {
        drawn = ellipse ? Ellipse(dc, left, top, left + width, top + height)
                        : Rectangle(dc, left, top, left + width, top + height);
        SelectObject(dc, previous);
    }
    FlipAlpha();
    if (!drawn) return E_FAIL;
    m_dirty = 1;
    return S_OK;
}

HRESULT CVQGraphics::DrawEllipse(CVQGdiTool* tool, int left, int top, int width, int height) {
    return DrawShape(tool, left, top, width, height, true);
}

HRESULT CVQGraphics::DrawRectangle(CVQGdiTool* tool, int left, int top, int width, int height) {
    return DrawShape(tool, left, top, width, height, false);
}

HRESULT CVQGraphics::FillEllipse(CVQGdiTool* tool, int left, int top, int width, int height) {
    return DrawShape(tool, left, top, width, height, true);
}

HRESULT CVQGraphics::FillRectangle(CVQGdiTool* tool, int left, int top, int width, int height) {
    return DrawShape(tool, left, top, width, height, false);
}

HRESULT CVQGraphics::Blit(int xDest, int yDest, int wDest, int hDest, CVQGraphics* source, int xSrc, int ySrc, int wSrc,
                          int hSrc) {
    HDC dc = m_dib.DC();
    if (!dc) return E_FAIL;
    m_dirty = 1;
    if (!source || !source->DC()) return E_FAIL;
    GdiFlush();
    if (!StretchBlt(dc, xDest, yDest, wDest, hDest, source->DC(), xSrc, ySrc, wSrc, hSrc, SRCCOPY)) return E_FAIL;
    return S_OK;
}

HRESULT CVQGraphics::DrawText(int x, int y, int width, int height, const char* text, UINT format) {
    HDC dc = m_dib.DC();
    if (!dc) return E_FAIL;
    m_dirty = 1;
    if (!text) return E_FAIL;
    RECT rect = {x, y, x + width, y + height};
    // The text is the caller's and read-only: never let GDI write an ellipsis into it.
    format &= ~static_cast<UINT>(DT_MODIFYSTRING);
    int drawn = DrawTextExA(dc, const_cast<char*>(text), -1, &rect, format, nullptr);
    return drawn ? S_OK : E_FAIL;
}

HRESULT CVQGraphics::SetFont(const char* face, int points, uint32_t colour, int weight, int italic, int underline) {
    HDC dc = m_dib.DC();
    if (!dc) return E_FAIL;
    LOGFONTA font;
    memset(&font, 0, sizeof(font));
    if (face) {
        strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
        font.lfFaceName[LF_FACESIZE - 1] = 0;
    }
    font.lfHeight = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    font.lfWeight = weight;
    font.lfItalic = italic ? 1 : 0;
    font.lfUnderline = underline ? 1 : 0;
    HFONT created = CreateFontIndirectA(&font);
    if (!created) return E_FAIL;
    // Select the new font before deleting the old one: a selected font cannot be deleted.
    HGDIOBJ previous = SelectObject(dc, created);
    if (!previous) {
        DeleteObject(created);
        return E_FAIL;
    }
    if (m_font)
        DeleteObject(m_font);
    else
        m_originalFont = previous;
    m_font = created;
    SetTextColor(dc, static_cast<COLORREF>(colour & 0x00FFFFFF));
    return S_OK;
}

int CVQGraphics::DibWidth() { return m_dib.Width(); }

int CVQGraphics::DibHeight() { return m_dib.Height(); }
