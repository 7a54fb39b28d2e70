#include "CVQBrowsePlayWnd.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "CVQBrowseDiWnd.h"
#include "CVQButton.h"
#include "CVQFFmpegDecoder.h"
#include "CVQHUD.h"
#include "CVQPen.h"
#include "CVQSolidBrush.h"
#include "IVQSoundOut.h"
#include "VKClock.h"
#include "VKLog.h"
#include "VQBrowseRules.h"

namespace {
IVQSoundOut* g_sound = nullptr;
int g_cascade = 0;
int g_waitForDecoding = 0;
const int kWaitForDecodingMs = 2000;

const int kPictureX = 2, kPictureY = 12;  // the picture's place below the title bar
const uint32_t kPictureBack = 0xFF000000;
const COLORREF kCaptionText = 0xFFE8CD;
const COLORREF kWhite = RGB(255, 255, 255);

struct ButtonPlace {
    const char* caption;
    int x, width;
};
const ButtonPlace kPlaces[CVQBrowsePlayWnd::kButtons] = {
    {"Pause", 10, 50},        {"Speed / 2", 70, 60}, {"Speed * 2", 140, 60}, {"Speed - 10%", 210, 70},
    {"Speed + 10%", 290, 70}, {"Mute", 370, 50},     {"Hide", 430, 50}};
const int kRgb32 = 6;

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The HUD's playback thread, which owns every wave-out device of the process.
class HudSound : public IVQSoundOut {
public:
    int OpenChannel(int samplesPerSecond, int channels, int bytesPerSample) override {
        CVQHUD* hud = VQHud();
        return hud ? hud->Audio()->OpenChannel(samplesPerSecond, channels, bytesPerSample) : -1;
    }
    void Play(int channel, const uint8_t* data, int size) override {
        if (CVQHUD* hud = VQHud()) hud->Audio()->Play(channel, data, size);
    }
    void CloseChannel(int channel) override {
        if (CVQHUD* hud = VQHud()) hud->Audio()->CloseChannel(channel);
    }
};
HudSound g_hudSound;
}  // namespace

IVQSoundOut* VQPlayerSound() { return g_sound ? g_sound : &g_hudSound; }

IVQSoundOut* VQSetPlayerSound(IVQSoundOut* sound) {
    IVQSoundOut* previous = VQPlayerSound();
    g_sound = sound;
    return previous;
}

void CVQBrowsePlayWnd::ResetCascade() { g_cascade = 0; }

void CVQBrowsePlayWnd::SetWaitForDecoding(int wait) { g_waitForDecoding = wait; }

CVQBrowsePlayWnd::CVQBrowsePlayWnd()
    : m_ahead(nullptr),
      m_buttons{},
      m_opened(0),
      m_sourceWidth(320),
      m_sourceHeight(240),
      m_shownWidth(316),
      m_shownHeight(228),
      m_zoom(100.0),
      m_rate(1.0),
      m_playing(0),
      m_buttonsVisible(1),
      m_muted(0),
      m_wasHidden(0),
      m_media(0),
      m_frameTime(0),
      m_firstStamp(-1),
      m_start(0),
      m_frames(0),
      m_framesAtTitle(0),
      m_titleTime(0),
      m_channel(-1),
      m_soundFailed(0),
      m_soundRate(44100),
      m_soundChannels(2),
      m_soundBytesPerSample(2),
      m_cascadeIndex(0),
      m_input(nullptr) {
    m_kind = kView;
}

CVQBrowsePlayWnd::~CVQBrowsePlayWnd() {
    Teardown();
    delete m_ahead;  // joins the thread
    m_ahead = nullptr;
    if (m_input) m_input->DetachPlayer();
    m_input = nullptr;
}

int CVQBrowsePlayWnd::Open(int32_t x, int32_t y, int32_t width, int32_t height, const char* path) {
    m_path = path ? path : "";
    m_cascadeIndex = VQNextCascade(&g_cascade);
    const int32_t top = y + 20 * m_cascadeIndex;
    if (!CreateFrame(x, top, width, height)) return 0;
    for (int i = 0; i < kButtons; ++i) {
        m_buttons[i] = new CVQButton();
        m_buttons[i]->SetCaption(kPlaces[i].caption);
        m_buttons[i]->Create(kPlaces[i].x, 13, kPlaces[i].width, 16, this);
        AddChild(m_buttons[i]);
    }
    CVQFFmpegDecoder* decoder = new CVQFFmpegDecoder();
    decoder->SetFileName(m_path.c_str());
    decoder->SetOutputPixelFormat(kRgb32);
    decoder->SetAudioDisabled(0);
    if (decoder->Open() && decoder->GetOutputPixelFormat() == kRgb32 && decoder->HasVideo()) {
        m_sourceWidth = decoder->GetWidth();
        m_sourceHeight = decoder->GetHeight();
        m_soundRate = decoder->GetSamplesPerSecond();
        m_soundChannels = decoder->GetChannels();
        m_soundBytesPerSample = decoder->GetBitsPerSample() / 8;
        m_zoom = VQStepZoom(100.0, 1.0, m_sourceWidth, m_sourceHeight);
        m_shownWidth = std::max(1, static_cast<int>(m_sourceWidth * m_zoom * 0.01));
        m_shownHeight = std::max(1, static_cast<int>(m_sourceHeight * m_zoom * 0.01));
        m_ahead = new CVQDecodeAhead();
        AskPictureSize();
        // The thread owns the decoder from here on, and deletes it when it cannot start.
        if (m_ahead->Start(decoder, false)) {
            m_opened = 1;
        } else {
            delete m_ahead;
            m_ahead = nullptr;
        }
        decoder = nullptr;
    }
    if (m_opened) {
        if (m_sourceWidth != 320 || m_sourceHeight != 240) Resize();
        if (CVQHUD* hud = VQHud()) hud->AddPlayer(this);
        m_playing = 1;
        m_start = VKClockMs();
        m_titleTime = m_start;
    } else {
        delete decoder;
        m_buttons[kPlay]->SetCaption("Play");
    }
    Repaint();
    UpdateTitle(VKClockMs());

    const std::string inputPath = VQCompanionInputPath(m_path);
    if (!inputPath.empty() && FileExists(inputPath)) {
        CVQBrowseDiWnd* input = new CVQBrowseDiWnd();
        if (input->Open(x, top + Height() + 12, 495, 135, inputPath.c_str(), this)) {
            m_input = input;
            if (CVQHUD* hud = VQHud()) hud->AddWindow(input);
            LogMessage("NEW DEVICEINPUT\r\n");
        } else {
            delete input;
        }
    }
    return 1;
}

void CVQBrowsePlayWnd::Teardown() {
    if (CVQHUD* hud = VQHud()) hud->RemovePlayer(this);
    CloseSound();
    // The thread ends by itself once its packet is decoded; the window's
    // deletion, a frame later at the earliest, waits for what is left of it.
    if (m_ahead) m_ahead->RequestStop();
    m_shown.reset();
    m_opened = 0;
    m_playing = 0;
}

void CVQBrowsePlayWnd::Close() {
    Teardown();
    CVQBrowseDiWnd* input = m_input;
    m_input = nullptr;
    if (input) {
        input->DetachPlayer();
        input->Close();
    }
    CVQFrmWnd::Close();
}

void CVQBrowsePlayWnd::DetachInput(CVQBrowseDiWnd* window) {
    if (m_input == window) m_input = nullptr;
}

void CVQBrowsePlayWnd::CloseSound() {
    if (m_channel >= 0) VQPlayerSound()->CloseChannel(m_channel);
    m_channel = -1;
    m_soundFailed = 0;
}

void CVQBrowsePlayWnd::RestartFrom(uint32_t now) {
    // Playback continues from the current media time at the current rate.
    m_start = now - static_cast<uint32_t>(static_cast<double>(m_media) / m_rate);
}

void CVQBrowsePlayWnd::PlayStep() {
    const uint32_t now = VKClockMs();
    if (!m_ahead || !m_opened) return;
    if (m_wasHidden) {
        // Hidden playback does not run ahead: go on from where it stopped.
        m_wasHidden = 0;
        RestartFrom(now);
    }
    if (m_playing) {
        if (g_waitForDecoding) m_ahead->WaitUntilIdle(kWaitForDecodingMs);
        m_media = static_cast<int64_t>(static_cast<double>(static_cast<uint32_t>(now - m_start)) * m_rate);
        if (m_input) m_input->AdvanceTo(m_media);
        TakeDueSteps(now);
    }
    UpdateTitle(now);
}

void CVQBrowsePlayWnd::TakeDueSteps(uint32_t now) {
    std::unique_ptr<CVQDecodeAhead::Step> latest;
    bool ended = false;
    while (!ended) {
        // Sound and the end go in file order as they come; a picture waits
        // for its time (the first one shows at once).
        const int64_t until = m_firstStamp < 0                     ? INT64_MAX
                              : m_firstStamp > INT64_MAX - m_media ? INT64_MAX
                                                                   : m_firstStamp + m_media;
        std::unique_ptr<CVQDecodeAhead::Step> step = m_ahead->TakeDue(until);
        if (!step) break;
        if (!step->sound.empty() && !m_muted) OutputSound(step->sound);
        ended = step->end;
        if (step->picture.empty()) {
            m_ahead->Recycle(std::move(step));
            continue;
        }
        if (m_firstStamp < 0) m_firstStamp = step->time;
        m_frameTime = step->time - m_firstStamp;
        // Pictures overtaken by a later due one are never drawn.
        m_ahead->Recycle(std::move(latest));
        latest = std::move(step);
    }
    if (latest) {
        m_ahead->Recycle(std::move(m_shown));
        m_shown = std::move(latest);
        ++m_frames;
        DrawPicture();
    }
    if (ended) EndOfStream(now);
}

void CVQBrowsePlayWnd::OutputSound(const std::vector<uint8_t>& sound) {
    if (m_channel < 0 && !m_soundFailed) {
        m_channel = VQPlayerSound()->OpenChannel(m_soundRate, m_soundChannels, m_soundBytesPerSample);
        m_soundFailed = m_channel < 0;
    }
    if (m_channel >= 0) VQPlayerSound()->Play(m_channel, sound.data(), static_cast<int>(sound.size()));
}

void CVQBrowsePlayWnd::EndOfStream(uint32_t now) {
    // Back to the start, stopped, ready to play again; the thread seeks but
    // decodes nothing until then.
    m_media = 0;
    m_frameTime = 0;
    m_start = now;
    m_ahead->SetPaused(true);
    m_ahead->Restart();
    CloseSound();
    m_playing = 0;
    m_buttons[kPlay]->SetCaption("Play");
    if (m_input) m_input->Rewind();
}

void CVQBrowsePlayWnd::UpdateTitle(uint32_t now) {
    const std::string text = VQPlayerTitle(m_path, m_zoom, m_media);
    if (text == m_titleText) return;
    const int fps = VQFramesPerSecond(m_frames, m_framesAtTitle, static_cast<uint32_t>(now - m_titleTime));
    m_titleText = text;
    m_framesAtTitle = m_frames;
    m_titleTime = now;
    SetTitle((text + ", fps: " + std::to_string(fps)).c_str());
}

void CVQBrowsePlayWnd::TogglePlay() {
    if (!m_opened) return;
    const uint32_t now = VKClockMs();
    if (m_playing) {
        m_media = static_cast<int64_t>(static_cast<double>(static_cast<uint32_t>(now - m_start)) * m_rate);
        m_playing = 0;
        if (m_ahead) m_ahead->SetPaused(true);
        m_buttons[kPlay]->SetCaption("Play");
    } else {
        m_playing = 1;
        if (m_ahead) m_ahead->SetPaused(false);
        RestartFrom(now);
        m_buttons[kPlay]->SetCaption("Pause");
    }
}

void CVQBrowsePlayWnd::ChangeRate(double factor) {
    const uint32_t now = VKClockMs();
    if (m_playing) m_media = static_cast<int64_t>(static_cast<double>(static_cast<uint32_t>(now - m_start)) * m_rate);
    m_rate = VQStepRate(m_rate, factor);
    RestartFrom(now);
}

void CVQBrowsePlayWnd::ChangeZoom(double factor) {
    m_zoom = VQStepZoom(m_zoom, factor, m_sourceWidth, m_sourceHeight);
    m_shownWidth = std::max(1, static_cast<int>(m_sourceWidth * m_zoom * 0.01));
    m_shownHeight = std::max(1, static_cast<int>(m_sourceHeight * m_zoom * 0.01));
    AskPictureSize();
    Resize();
    Repaint();
    UpdateTitle(VKClockMs());
}

void CVQBrowsePlayWnd::AskPictureSize() {
    // Pictures are decoded at the shown size, or at the source size when
    // zoomed in: scaling up here would only make the queued pictures larger.
    if (!m_ahead) return;
    if (m_shownWidth > m_sourceWidth || m_shownHeight > m_sourceHeight)
        m_ahead->SetPictureSize(m_sourceWidth, m_sourceHeight);
    else
        m_ahead->SetPictureSize(m_shownWidth, m_shownHeight);
}

void CVQBrowsePlayWnd::ToggleMute() {
    m_muted = !m_muted;
    m_buttons[kMute]->SetCaption(m_muted ? "Unmute" : "Mute");
}

void CVQBrowsePlayWnd::ToggleButtons() {
    m_buttonsVisible = !m_buttonsVisible;
    for (CVQButton* button : m_buttons)
        if (button) button->SetVisible(m_buttonsVisible);
    Repaint();
}

void CVQBrowsePlayWnd::Resize() {
    // A frame never smaller than its title bar needs.
    const int w = std::max(m_shownWidth + 4, 40);
    const int h = std::max(m_shownHeight + 12, 24);
    m_canvas.CreateCanvas(w, h, m_background);
}

void CVQBrowsePlayWnd::Repaint() {
    CVQSolidBrush black(kPictureBack);
    m_canvas.FillRectangle(&black, kPictureX, kPictureY, m_shownWidth, m_shownHeight);
    DrawCaption();
    if (m_shown) {
        DrawPicture();
    } else {
        m_canvas.SetFont("Arial", 8, kWhite, 400, 0, 0);
        if (m_opened)
            m_canvas.DrawDataText(20, 40, 200, 16, "Connecting...", DT_SINGLELINE);
        else
            m_canvas.DrawDataText(20, 50, 200, 16, "ERROR", DT_SINGLELINE);
        for (CVQButton* button : m_buttons)
            if (button && button->IsVisible(0)) button->GetGraphics()->SetDirty(1);
    }
    m_canvas.SetDirty(1);
}

void CVQBrowsePlayWnd::DrawPicture() {
    if (!m_shown || m_shown->picture.empty()) return;
    const int sw = m_shown->width, sh = m_shown->height;
    const uint32_t* source = m_shown->picture.data();
    CVKPixels* target = nullptr;
    if (m_shownWidth == sw && m_shownHeight == sh) {
        // Decoded at the shown size, opaque: the rows go straight into the window's canvas.
        if (m_canvas.GetPixels(&target) == S_OK && target && target->Data()) {
            const int w = std::min(sw, static_cast<int>(target->Width()) - kPictureX);
            const int h = std::min(sh, static_cast<int>(target->Height()) - kPictureY);
            for (int y = 0; w > 0 && y < h; ++y) {
                uint32_t* row =
                    reinterpret_cast<uint32_t*>(target->Data() + (y + kPictureY) * target->Stride()) + kPictureX;
                memcpy(row, source + static_cast<size_t>(y) * sw, static_cast<size_t>(w) * 4);
            }
        }
    } else {
        // Zoomed in, or decoded before a zoom change: scaled here.
        if (m_picture.DibWidth() != sw || m_picture.DibHeight() != sh) m_picture.CreateCanvas(sw, sh, kPictureBack);
        if (m_picture.GetPixels(&target) == S_OK && target && target->Data() &&
            static_cast<int>(target->Width()) == sw && static_cast<int>(target->Height()) == sh) {
            for (int y = 0; y < sh; ++y)
                memcpy(target->Data() + y * target->Stride(), source + static_cast<size_t>(y) * sw,
                       static_cast<size_t>(sw) * 4);
            m_canvas.Blit(kPictureX, kPictureY, m_shownWidth, m_shownHeight, &m_picture, 0, 0, sw, sh);
        }
    }
    // The picture covers the buttons' place: the shown ones go on top again.
    for (CVQButton* button : m_buttons)
        if (button && button->IsVisible(0)) button->GetGraphics()->SetDirty(1);
    m_canvas.SetDirty(1);
}

int CVQBrowsePlayWnd::PrepareSurface() {
    // Hidden buttons may redraw (a caption change) but never reach the frame.
    for (CVQButton* button : m_buttons) {
        if (!button || button->IsVisible(0)) continue;
        button->PrepareSurface();
        button->GetGraphics()->SetDirty(0);
    }
    return CVQFrmWnd::PrepareSurface();
}

void CVQBrowsePlayWnd::DrawCaption() {
    const int w = Width();
    if (w <= 0) return;
    CVQSolidBrush brush(m_active ? m_background : kInactiveCaption);
    m_canvas.FillRectangle(&brush, 1, 1, w - 2, 11);
    // Zoom out (a circle with a minus) and zoom in (with a plus).
    CVQPen ink(PS_SOLID, 1, 0xFF000000);
    m_canvas.DrawEllipse(&ink, 1, 1, 7, 7);
    m_canvas.DrawLine(&ink, 3, 4, 6, 4);
    m_canvas.DrawEllipse(&ink, 9, 1, 7, 7);
    m_canvas.DrawLine(&ink, 11, 4, 14, 4);
    m_canvas.DrawLine(&ink, 12, 2, 12, 6);
    m_canvas.SetFont("Arial", 7, kCaptionText, 400, 0, 0);
    if (m_title.Length()) m_canvas.DrawDataText(20, 0, w - 30, 12, m_title.Get(), DT_SINGLELINE | DT_LEFT);
    CVQGraphics box;
    if (box.LoadResourceImage(4097) == S_OK)
        m_canvas.Blit(w - 8, 0, box.DibWidth(), box.DibHeight(), &box, 0, 0, box.DibWidth(), box.DibHeight());
    m_canvas.SetDirty(1);
}

int CVQBrowsePlayWnd::OnNotify(int code, void*, CVQWindow* sender, int*) {
    if (code != 0 || !sender) return 0;
    if (sender == m_buttons[kPlay])
        TogglePlay();
    else if (sender == m_buttons[kSlower])
        ChangeRate(0.5);
    else if (sender == m_buttons[kFaster])
        ChangeRate(2.0);
    else if (sender == m_buttons[kLess])
        ChangeRate(0.9);
    else if (sender == m_buttons[kMore])
        ChangeRate(1.1);
    else if (sender == m_buttons[kMute])
        ToggleMute();
    else if (sender == m_buttons[kHide])
        ToggleButtons();
    return 0;
}

int CVQBrowsePlayWnd::OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) {
    if (message == WM_KEYDOWN) {
        if (key == VK_ADD || key == VK_SUBTRACT) {
            ChangeZoom(key == VK_ADD ? 1.1 : 0.9);
            *handled = 1;
            return 0;
        }
        if (key == VK_TAB && !m_buttonsVisible) {
            ToggleButtons();
            *handled = 1;
            return 0;
        }
    }
    return CVQFrmWnd::OnKeyboard(message, key, keyData, handled);
}

int CVQBrowsePlayWnd::OnMouse(uint32_t message, uint32_t data, uint32_t position, int* handled) {
    const int x = static_cast<int16_t>(position & 0xFFFF) - m_x;
    const int y = static_cast<int16_t>(position >> 16) - m_y;
    if (message == WM_MOUSEWHEEL) {
        // Each 120 units of the wheel is one zoom step (a few steps at most per event).
        int steps = static_cast<int16_t>(data >> 16) / 120;
        steps = std::max(-10, std::min(10, steps));
        for (int i = 0; i < std::abs(steps); ++i) ChangeZoom(steps > 0 ? 1.1 : 0.9);
        *handled = 1;
        return 0;
    }
    if (message == WM_LBUTTONDOWN && y >= 0 && y <= 7) {
        if (x >= 10 && x <= 18) {
            ChangeZoom(1.1);
            *handled = 1;
            return 0;
        }
        if (x >= 1 && x <= 8) {
            ChangeZoom(0.9);
            *handled = 1;
            return 0;
        }
    }
    bool onButton = false;
    for (CVQButton* button : m_buttons)
        onButton = onButton || (button && button->IsVisible(0) && button->Contains(x, y));
    CVQFrmWnd::OnMouse(message, data, position, handled);
    if (message == WM_LBUTTONDOWN && !onButton && !IsDragging() && y > 10 && y < Height() && x >= 0 && x < Width()) {
        // Hidden buttons come back with a click on the picture; shown ones go
        // with a click below them or right of them.
        if (!m_buttonsVisible || y > 28 || x > 480) ToggleButtons();
    }
    return 0;
}
