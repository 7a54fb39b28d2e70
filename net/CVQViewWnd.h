#pragma once
#include <cstdint>

#include "CVQFrmWnd.h"

class CVQDecodeVS;

// A window showing a friend's shared game. It owns its view session: the
// session is opened when the window is made, its pictures are drawn scaled
// to the view size (2 pixels from the left, below the caption), and closing
// the window ends the view. The picture can be zoomed (numeric-pad + and -,
// the plus and minus glyphs of the caption, the mouse wheel), within bounds.
class CVQViewWnd : public CVQFrmWnd {
public:
    // session may be null: a session over a Winsock socket, decoding on its
    // own worker thread. Owned.
    explicit CVQViewWnd(CVQDecodeVS* session = nullptr);
    ~CVQViewWnd() override;

    // y is moved down by 20 pixels for each of the last windows made (0 to
    // 5, then again from 0).
    int CreateFrame(int32_t x, int32_t y, int32_t width, int32_t height) override;
    int PrepareSurface() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    void Close() override;
    void DrawCaption() override;

    virtual CVQDecodeVS* GetViewSession() { return m_session; }
    virtual void ZoomIn();
    virtual void ZoomOut();

    int ViewWidth() const { return m_viewWidth; }
    int ViewHeight() const { return m_viewHeight; }
    float Zoom() const { return m_zoom; }
    // Pictures drawn since the window was made.
    int PicturesShown() const { return m_pictures; }

private:
    // Sets the view size for the stream and the zoom factor (bounded).
    void ApplyZoom();
    void ResizePictureBuffer();
    void DrawGlyphs();
    void DrawPicture(const uint8_t* data, int size);

    CVQDecodeVS* m_session;
    uint8_t* m_picture;  // the picture at the view size, 32-bit pixels
    int m_pictureBytes;
    int m_viewWidth;
    int m_viewHeight;
    float m_zoom;
    int32_t m_wheel;
    int m_bytesPerPixel;
    int m_pictures;
};
