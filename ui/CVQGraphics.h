#pragma once
#include <windows.h>

#include <cstdint>

#include "CVKDib.h"
#include "CVKPixels.h"
#include "CVQGdiTool.h"

class CVQPen;

// The software canvas of a HUD window: a 32-bit DIB on a memory context, drawn
// with GDI and read as a CVKPixels view (layout 64, row 0 at the top). The
// dirty flag tells the window that the pixels changed since it last copied
// them into its Direct3D surface.
//
// Results are S_OK (0) or E_FAIL. Colours are 0xAARRGGBB, except the text
// colour of SetFont, which is a COLORREF (0x00BBGGRR).
//
// Alpha: GDI writes 0 into the fourth byte of every pixel it touches. Around
// lines and shapes the canvas inverts every pixel's alpha, so pixels drawn by
// the shape end opaque and all others keep their alpha. Blit and text do not.
class CVQGraphics {
public:
    CVQGraphics();
    virtual ~CVQGraphics();
    CVQGraphics(const CVQGraphics&) = delete;
    CVQGraphics& operator=(const CVQGraphics&) = delete;

    // Makes the canvas the size of the PNG resource id (type "BINDATA" in
    // VQResourceModule()) and copies the picture into it. An unusable picture
    // leaves the canvas as it was.
    virtual HRESULT LoadResourceImage(int id);
    // Makes the canvas width x height (the bitmap is kept when the size is
    // unchanged) and fills it with colour.
    virtual HRESULT CreateCanvas(int width, int height, uint32_t colour);
    // The view of the pixels (valid until the canvas is made again).
    virtual HRESULT GetPixels(CVKPixels** pixels);
    virtual HRESULT GetWidth(int* width);
    virtual HRESULT GetHeight(int* height);
    virtual HRESULT Fill(uint32_t colour);
    virtual HRESULT GetPixel(int x, int y, uint32_t* colour);
    virtual HRESULT SetPixel(int x, int y, uint32_t colour);
    virtual HRESULT DrawLine(CVQPen* pen, int x1, int y1, int x2, int y2);
    // With a pen: the outline; with a brush: the filled shape without outline.
    virtual HRESULT DrawEllipse(CVQGdiTool* tool, int left, int top, int width, int height);
    virtual HRESULT DrawRectangle(CVQGdiTool* tool, int left, int top, int width, int height);
    // Stretched copy from another canvas.
    virtual HRESULT Blit(int xDest, int yDest, int wDest, int hDest, CVQGraphics* source, int xSrc, int ySrc, int wSrc,
                         int hSrc);
    virtual HRESULT FillEllipse(CVQGdiTool* tool, int left, int top, int width, int height);
    virtual HRESULT FillRectangle(CVQGdiTool* tool, int left, int top, int width, int height);
    // Text in the rectangle (x, y, x + width, y + height) with DT_* flags and
    // the font of SetFont. "&" prefixes the next letter as a mnemonic unless
    // DT_NOPREFIX is given: use DrawDataText for file names, chat and other texts
    // that are not captions.
    virtual HRESULT DrawText(int x, int y, int width, int height, const char* text, UINT format);
    // Selects "face" at the given size in points; colour is a COLORREF.
    virtual HRESULT SetFont(const char* face, int points, uint32_t colour, int weight, int italic, int underline);
    virtual int DibWidth();
    virtual int DibHeight();

    // DrawText of a text that is data, not a caption: every "&" is drawn.
    HRESULT DrawDataText(int x, int y, int width, int height, const char* text, UINT format) {
        return DrawText(x, y, width, height, text, format | DT_NOPREFIX);
    }

    void SetDirty(int dirty) { m_dirty = dirty; }
    int IsDirty() const { return m_dirty; }
    // The memory context (null while the canvas is empty).
    HDC DC() const { return m_dib.DC(); }

private:
    // Makes the DIB (kept at the same size), selects the null tools, sets
    // transparent text background and renews the view. 1 or 0.
    int MakeCanvas(int width, int height);
    void RenewView();
    // Inverts the alpha byte of every pixel.
    void FlipAlpha();
    HRESULT DrawShape(CVQGdiTool* tool, int left, int top, int width, int height, bool ellipse);

    CVKDib m_dib;
    CVKPixels m_view;
    int m_dirty;
    HPEN m_nullPen;
    HFONT m_font;
    HGDIOBJ m_originalPen;  // objects of the fresh context, put back before it goes
    HGDIOBJ m_originalBrush;
    HGDIOBJ m_originalFont;
};
