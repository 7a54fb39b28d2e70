#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CVQDecodeAhead.h"
#include "CVQFrmWnd.h"
#include "CVQGraphics.h"

class CVQBrowseDiWnd;
class CVQButton;

// A recordings player: a frame window (kind 13) that plays one .wmv file
// with its sound, at a rate and zoom the player chooses, and opens the
// replay of the recorded keyboard and mouse (the .di file of the same name)
// below itself. The HUD calls PlayStep on every frame while the window is
// visible and IdleStep while it is hidden.
//
// The video is decoded on a thread of the player's own, a few pictures
// ahead, already scaled to the shown size; PlayStep only takes the steps
// that are due, plays their sound, and copies the latest picture into the
// window. Nothing is decoded while playback is paused.
class CVQBrowsePlayWnd : public CVQFrmWnd {
public:
    enum Button { kPlay = 0, kSlower, kFaster, kLess, kMore, kMute, kHide, kButtons };

    CVQBrowsePlayWnd();
    ~CVQBrowsePlayWnd() override;

    // Makes the window at (x, y + 20 n), n the cascade of players (0 to 5,
    // the seventh window back at 0), opens the video and, when its .di file
    // exists, the input replay window. 0 only when the window cannot be made
    // (a video that does not open shows "ERROR").
    virtual int Open(int32_t x, int32_t y, int32_t width, int32_t height, const char* path);
    void Close() override;
    int PrepareSurface() override;
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) override;
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;
    void DrawCaption() override;

    virtual void PlayStep();
    virtual void IdleStep() { m_wasHidden = 1; }

    void TogglePlay();
    // Multiplies the rate (held to 1/64 .. 64); playback goes on from where it is.
    void ChangeRate(double factor);
    // Multiplies the zoom (held to 10 .. 400 percent and 4096 pixels a side).
    void ChangeZoom(double factor);
    void ToggleMute();
    void ToggleButtons();
    // The replay window is going: it is no longer advanced.
    void DetachInput(CVQBrowseDiWnd* window);

    const char* Path() const { return m_path.c_str(); }
    int IsOpened() const { return m_opened; }
    int IsPlaying() const { return m_playing; }
    int IsMuted() const { return m_muted; }
    int ButtonsVisible() const { return m_buttonsVisible; }
    double ZoomPercent() const { return m_zoom; }
    double Rate() const { return m_rate; }
    int64_t MediaTime() const { return m_media; }
    int64_t FramesShown() const { return m_frames; }
    int ShownWidth() const { return m_shownWidth; }
    int ShownHeight() const { return m_shownHeight; }
    int SoundChannel() const { return m_channel; }
    int CascadeIndex() const { return m_cascadeIndex; }
    CVQBrowseDiWnd* InputWindow() const { return m_input; }
    CVQButton* ButtonAt(int i) const { return i >= 0 && i < kButtons ? m_buttons[i] : nullptr; }

    // The cascade of player windows starts again at 0 (tests).
    static void ResetCascade();
    // Tests: each PlayStep first waits (2 s at most) until the decoding
    // thread has filled its queue, so what is shown depends on the clock alone.
    static void SetWaitForDecoding(int wait);
    CVQDecodeAhead* Decoding() const { return m_ahead; }

    static const uint32_t kInactiveCaption = 0xFF0076DA;

private:
    void Teardown();
    void CloseSound();
    void Resize();
    void Repaint();
    void DrawPicture();
    void UpdateTitle(uint32_t now);
    void RestartFrom(uint32_t now);
    // Takes every step that is due: sound played, the latest picture drawn,
    // and the end of the file handled.
    void TakeDueSteps(uint32_t now);
    void OutputSound(const std::vector<uint8_t>& sound);
    // Tells the decoding thread the size to decode at.
    void AskPictureSize();
    void EndOfStream(uint32_t now);

    std::string m_path;
    CVQDecodeAhead* m_ahead;  // the decoding thread and its decoder
    CVQButton* m_buttons[kButtons];
    int m_opened;
    int m_sourceWidth;
    int m_sourceHeight;
    int m_shownWidth;
    int m_shownHeight;
    double m_zoom;
    double m_rate;
    int m_playing;
    int m_buttonsVisible;
    int m_muted;
    int m_wasHidden;
    int64_t m_media;
    int64_t m_frameTime;
    int64_t m_firstStamp;
    uint32_t m_start;
    int64_t m_frames;
    int64_t m_framesAtTitle;
    uint32_t m_titleTime;
    std::string m_titleText;
    int m_channel;
    int m_soundFailed;
    int m_soundRate;
    int m_soundChannels;
    int m_soundBytesPerSample;
    std::unique_ptr<CVQDecodeAhead::Step> m_shown;  // the picture in the window
    int m_cascadeIndex;
    CVQBrowseDiWnd* m_input;
    CVQGraphics m_picture;  // the source-size picture, for scaled drawing
};
