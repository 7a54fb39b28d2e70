#include "CVQHUD.h"

#include <windows.h>

#include "CVQBrowsePlayWnd.h"
#include <cstdio>
#include <cstring>

#include "CVQDecodeVS.h"
#include "CVQListContacts.h"
#include "CVQMsgBox.h"
#include "CVQSurface.h"
#include "CVQViewWnd.h"
#include "CVQWindow.h"
#include "VKGameNumber.h"
#include "VKNetEndpoints.h"
#include "VKSettings.h"

namespace {
CVQHUD* g_hud = nullptr;
bool SystemKeyState(uint32_t vk) { return GetKeyState(static_cast<int>(vk)) < 0; }
VQKeyStateFn g_keyState = SystemKeyState;
bool g_keyStateCostly = true;

const uint32_t kKeyDown = 0x100, kKeyUp = 0x101, kSysKeyDown = 0x104, kLButtonDown = 0x201;

const char kMultisampledText[] =
    "Error: Multisampled/Antialiased backbuffer!\n\nPlease turn off multisampling/antialiasing in\nthe game's "
    "Graphics/Video options";
const char kRecordFailedText[] =
    "Error: Failed to start recording!\n\nPossible causes:\n* No audio device?\n* Harddisk is full?";

// Appends a copy of name unless it is listed already or the list is full.
void AddName(CVKPtrList* list, const char* name, int max) {
    if (!name || !*name || StringListContains(*list, name) || list->Count() >= max) return;
    list->Insert(new CVKString(name));
}
}  // namespace

CVQHUD* VQHud() { return g_hud; }

CVQHUD* VQCreateHud() {
    if (g_hud) return g_hud;
    CVQHUD* hud = new CVQHUD();  // registers itself as the HUD of the process
    hud->Init();
    return hud;
}

void VQDestroyHud() {
    CVQHUD* hud = g_hud;
    if (!hud) return;
    hud->Shutdown();
    delete hud;  // unregisters itself
}
bool VQIsKeyDown(uint32_t vk) { return g_keyState(vk); }
void VQSetKeyStateSource(VQKeyStateFn source, bool costly) {
    g_keyState = source ? source : SystemKeyState;
    g_keyStateCostly = source ? costly : true;
}
bool VQKeyStateIsCostly() { return g_keyStateCostly; }

CVQHUD::CVQHUD()
    : m_focus(nullptr),
      m_hover(nullptr),
      m_pointerX(0),
      m_pointerY(0),
      m_hotKey(45),
      m_hotKeyMayBeDown(0),
      m_lonePress(0),
      m_recorderType(0),
      m_shareRequested(0),
      m_last3(0),
      m_last15(0),
      m_clock(VKSystemClock()),
      m_shareSession(-1),
      m_sharePort(13580),
      m_capture(nullptr),
      m_recordingAsked(0),
      m_shareAsked(0) {
    g_hud = this;
    m_hotKey = static_cast<uint32_t>(VKGetSettingInt("hotkey", "45"));
    m_recorderType = VKGetSettingInt("recorderType", "0");
    m_shareHost = VKShareServerHost("");
    m_sharePort = VKShareServerPort();
    ShareClient()->SetServer(m_shareHost.Str(), m_sharePort);
    m_chat.Initialise();
    if (m_recorderType == 2) {
        m_pipelinedRecorder.SetController(&m_controller);
        m_controller.SetRecord(&m_pipelinedRecorder);
    }
}

CVQHUD::~CVQHUD() {
    Shutdown();
    if (g_hud == this) g_hud = nullptr;
}

void CVQHUD::Init() {
    Shutdown();
    m_logo.Create(10, 10, 106, 34, nullptr);
    m_windows.Insert(&m_logo);
    m_dashboard.CreateFrame(116, 50, 400, 312);
    m_windows.Insert(&m_dashboard);
    // Without the intro the panel went straight to signing in, and the HUD
    // stays out of sight until the player brings it up.
    if (VKGetSetting("loginShowIntro", "1").Equals("0")) {
        m_logo.SetVisible(0);
        m_dashboard.SetVisible(0);
    }
    UpdateActiveStates();
    m_audio.Start();
}

void CVQHUD::Shutdown() {
    // The logo and the dashboard are members; every other window is owned by the list.
    m_windows.Remove(&m_logo);
    m_windows.Remove(&m_dashboard);
    m_logo.ReleaseSurface();
    m_dashboard.ReleaseSurface();
    while (m_windows.Count()) {
        CVQWindow* window = static_cast<CVQWindow*>(m_windows.Get(m_windows.Count() - 1));
        m_windows.RemoveAt(m_windows.Count() - 1);
        window->ReleaseSurface();
        delete window;
    }
    FlushDeleted();
    m_focus = nullptr;
    m_hover = nullptr;
    m_capture = nullptr;
    // An R or S still waiting for a frame goes with the HUD it was meant for.
    m_recordingAsked = 0;
    m_shareAsked = 0;
    FreeStringList(&m_invitesPending);
    FreeStringList(&m_invitesSent);
    // The share's worker ends before its client closes.
    if (m_shareRecorder.IsRecording()) m_shareRecorder.EndRecording();
    ShareClient()->Close();
    m_shareSession = -1;
    m_views.Clear();  // their windows are gone
    if (m_sessionRecorder.IsRecording()) m_sessionRecorder.EndRecording();
    if (m_pipelinedRecorder.IsRecording()) m_pipelinedRecorder.EndRecording();
    if (m_aviRecorder.IsRecording()) m_aviRecorder.EndRecording();
    // The call ends (its friends' channels closed) before the playback thread stops.
    m_voice.Reset();
    m_audio.Stop();
}

void CVQHUD::ReleaseSurfaces() {
    for (int i = 0; i < m_windows.Count(); ++i) static_cast<CVQWindow*>(m_windows.Get(i))->ReleaseSurface();
    m_sessionRecorder.ReleaseSurface();
    m_pipelinedRecorder.ReleaseSurface();
    m_aviRecorder.ReleaseSurface();
    m_shareRecorder.ReleaseSurface();
}

void CVQHUD::Update() {
    // A safe point: no window handler is running now.
    FlushDeleted();
    // Before the recorders and the share take this frame, so a recording
    // asked for since the last frame starts with this one.
    CarryOutRequests();
    m_chat.Update();
    m_misc.Poll();
    m_voice.Update();
    // The share takes its copy of the back buffer here, before the HUD is drawn.
    m_shareRecorder.ProcessFrame();
    ShareTimers();
    UpdateShare();
    RecordFrame();
    FollowRecorder();
    StepPlayers();
    UpdateViews();
}

bool CVQHUD::RefusedForMultisampling() {
    uint32_t multisample = 0;
    if (!CVQSurface::GetBackBufferInfo(nullptr, nullptr, nullptr, &multisample) || multisample == 0) return false;
    ShowMessage(kMultisampledText, &m_dashboard, 4);
    return true;
}

int CVQHUD::ToggleRecording() {
    IVQRecord* recorder = CurrentRecorder();
    if (!recorder) return 0;
    if (recorder->IsRecording()) {
        recorder->EndRecording();
        m_dashboard.SetRecording(0);
        m_logo.SetRecording(0);
        return 1;
    }
    if (RefusedForMultisampling()) return 0;
    if (!recorder->BeginRecording()) {
        ShowMessage(kRecordFailedText, &m_dashboard, 5);
        return 0;
    }
    m_dashboard.SetRecording(1);
    m_logo.SetRecording(1);
    return 1;
}

void CVQHUD::CarryOutRequests() {
    if (m_recordingAsked.exchange(0)) ToggleRecording();
    if (m_shareAsked.exchange(0)) m_dashboard.ToggleShare();
}

void CVQHUD::FollowRecorder() {
    // A recorder may end by itself (a write failed, the disk is full): the
    // record button and the blinking sign must not claim a recording then.
    if (!m_logo.IsRecording()) return;
    IVQRecord* recorder = CurrentRecorder();
    if (recorder && recorder->IsRecording()) return;
    m_dashboard.SetRecording(0);
    m_logo.SetRecording(0);
}

void CVQHUD::AddPlayer(CVQBrowsePlayWnd* player) {
    if (player && m_players.IndexOf(player) < 0) m_players.Insert(player);
}

void CVQHUD::StepPlayers() {
    // A hidden player only notes it, so it does not run ahead while unseen.
    for (int i = 0; i < m_players.Count(); ++i) {
        CVQBrowsePlayWnd* player = static_cast<CVQBrowsePlayWnd*>(m_players.Get(i));
        if (player->IsVisible(0))
            player->PlayStep();
        else
            player->IdleStep();
    }
}

void CVQHUD::UpdateShare() {
    if (m_shareRequested || m_invitesPending.Count()) StartShare();
    CVQShareVS* client = ShareClient();
    if (!client->IsLoggedIn()) return;
    const int session = client->GetSession();
    if (session != m_shareSession) {
        m_shareSession = session;
        if (session > 0) {
            // Viewers of the old session are told the new one, except those
            // just refused (listed as told already).
            CVKPtrList* viewers = client->GetViewers();
            for (int i = 0; i < viewers->Count(); ++i) AnnounceShare(static_cast<CVKString*>(viewers->Get(i))->Str());
            FreeStringList(&m_invitesSent);
        }
    }
    if (m_shareSession <= 0) return;  // invitations wait for a session to name
    for (int i = 0; i < m_invitesPending.Count(); ++i)
        AnnounceShare(static_cast<CVKString*>(m_invitesPending.Get(i))->Str());
    FreeStringList(&m_invitesPending);
}

void CVQHUD::AnnounceShare(const char* name) {
    if (StringListContains(m_invitesSent, name)) return;
    m_chat.AnnounceShare(name, m_shareSession, m_shareHost.Str(), m_sharePort);
}

void CVQHUD::UpdateViews() {
    for (int i = 0; i < m_views.Count(); ++i) {
        CVQDecodeVS* session = static_cast<CVQDecodeVS*>(m_views.Get(i));
        session->Update();
        PlayViewSound(session);
    }
    // A hidden view window draws nothing: its pictures are taken here, so
    // the stream behind them keeps moving.
    for (int i = 0; i < m_windows.Count(); ++i) {
        CVQWindow* w = static_cast<CVQWindow*>(m_windows.Get(i));
        if (w->Kind() != CVQFrmWnd::kView || w->IsVisible(0)) continue;
        CVQViewWnd* view = dynamic_cast<CVQViewWnd*>(w);
        if (view) view->GetViewSession()->TakePicture(nullptr, nullptr, nullptr);
    }
}

void CVQHUD::PlayViewSound(CVQDecodeVS* session) {
    uint8_t* data = nullptr;
    int size = 0;
    int64_t time = 0;
    if (!session->TakeAudio(&data, &size, &time) || size <= 0) return;
    // The session's playback channel is made from its sound's format when it
    // has none yet, or when the playback thread found that its device did not
    // open; a channel that cannot be made leaves it silent. A refusing device
    // is not asked with every packet: for a second after it refused, the
    // output answers -1 for that format at once.
    int channel = session->GetAudioChannel();
    if (channel < 0 || !m_audio.HasChannel(channel)) {
        int rate = 0, channels = 0, bits = 0;
        if (!session->GetSoundFormat(&rate, &channels, &bits)) return;
        channel = m_audio.OpenChannel(rate, channels, bits / 8);
        session->SetAudioChannel(channel);
        if (channel < 0) return;
    }
    m_audio.Play(channel, data, size);
}

void CVQHUD::StartShare() {
    CVQShareVS* client = ShareClient();
    if (!client->IsOpen()) {
        if (!client->Open()) return;
        client->SetServer(m_shareHost.Str(), m_sharePort);
        // The game is named by the folder this library was loaded from.
        HMODULE module = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&VQHud), &module);
        client->SetGameNumber(VKGameNumberForFolder(VKModuleFolder(module).Str()).Str());
    }
    if (client->IsActive()) return;
    if (!m_shareRecorder.ReadBackBuffer()) return;
    m_shareRecorder.ReadShareSettings();
    const WAVEFORMATEX& format = m_shareRecorder.GetAudioFormat();
    const VQShareSettings& settings = m_shareRecorder.GetSettings();
    client->SetWidth(m_shareRecorder.GetVideoWidth());
    client->SetHeight(m_shareRecorder.GetVideoHeight());
    client->SetFrameRate(settings.frameRate);
    client->SetSamplesPerSec(static_cast<int>(format.nSamplesPerSec));
    client->SetChannels(format.nChannels);
    client->SetBitsPerSample(format.wBitsPerSample);
    client->ClearOptions();
    char option[64];
    snprintf(option, sizeof option, "AudioBitrate=%d", settings.audioBitRate);
    client->AddOption(CVKString(option));
    snprintf(option, sizeof option, "VideoBitrate=%d", settings.videoBitRate);
    client->AddOption(CVKString(option));
    client->Login(m_user.Str(), m_password.Str());
    m_last3 = m_last15 = m_clock->Seconds();
}

void CVQHUD::ShareTimers() {
    const int64_t now = m_clock->Seconds();
    if (now - m_last15 >= 15) {
        m_last15 = now;
        // Without viewers a share the player did not ask for ends: within 15
        // to 30 seconds after the last viewer left.
        if (ShareClient()->GetViewers()->Count() == 0 && !m_shareRequested) StopShare();
    }
    if (now - m_last3 >= 3) {
        m_last3 = now;
        ShareClient()->RequestViewers();  // nothing while it is not logged in
    }
}

void CVQHUD::SetShareRequested(int flag) {
    m_shareRequested = flag ? 1 : 0;
    if (!flag && ShareClient()->GetViewers()->Count() == 0) StopShare();
}

void CVQHUD::ViewSelectedContact() {
    CVKPtrList* names = m_dashboard.Contacts()->GetSelected();
    if (m_views.Count() > 0 || names->Count() > 1) {
        ShowMessage("Currently it is only possible to view one person at a time!", &m_dashboard, 1);
    } else if (names->Count() == 1) {
        CVKString name(*static_cast<CVKString*>(names->Get(0)));
        m_chat.RequestView(name.Str(), 1);
        CVQViewWnd* window = new CVQViewWnd();
        window->CreateFrame(536, 50, 250, 160);
        CVKString title("View: ");
        title.Append(name.Str());
        window->SetTitle(title.Str());
        AddWindow(window);
        m_views.Insert(window->GetViewSession());
        window->GetViewSession()->SetPeerName(name.Str());
        SetFocusWindow(window, true);
        UpdateActiveStates();
    }
    FreeStringList(names);
    delete names;
}

void CVQHUD::CloseView(CVQViewWnd* window) {
    if (!window) return;
    CVQDecodeVS* session = window->GetViewSession();
    if (m_views.IndexOf(session) < 0) return;  // closed already
    m_chat.RequestView(session->GetPeerName(), 0);
    if (session->GetAudioChannel() >= 0) m_audio.CloseChannel(session->GetAudioChannel());
    session->SetAudioChannel(-1);
    session->Logout();  // the sharer's viewers list loses this viewer at once
    m_views.Remove(session);
}

void CVQHUD::CloseAllViews() {
    CVKPtrList windows;
    for (int i = 0; i < m_windows.Count(); ++i) {
        CVQWindow* w = static_cast<CVQWindow*>(m_windows.Get(i));
        if (w->Kind() == CVQFrmWnd::kView && dynamic_cast<CVQViewWnd*>(w)) windows.Insert(w);
    }
    for (int i = 0; i < windows.Count(); ++i)
        static_cast<CVQViewWnd*>(static_cast<CVQWindow*>(windows.Get(i)))->Close();
}

IVQRecord* CVQHUD::CurrentRecorder() {
    switch (m_recorderType) {
    case 0: return &m_sessionRecorder;
    case 1: return &m_aviRecorder;
    case 2: return &m_pipelinedRecorder;
    default: return nullptr;
    }
}

void CVQHUD::RecordFrame() {
    // The recorders copy the back buffer here, before the HUD is drawn on it.
    if (m_recorderType == 0) {
        m_sessionRecorder.ProcessFrame();
    } else if (m_recorderType == 1) {
        m_aviRecorder.ProcessFrame();
    } else if (m_recorderType == 2) {
        m_pipelinedRecorder.CollectAudio();
        m_pipelinedRecorder.CopyFrame();
        if (m_controller.IsIdle()) {
            m_pipelinedRecorder.ProcessRequests();
            m_controller.Signal();
        }
    }
}

void CVQHUD::RecordInput(bool keyboard, uint32_t message, uint32_t value, uint32_t data) {
    m_shareRecorder.OnInputEvent(message, value, data);
    if (m_recorderType == 0) {
        m_sessionRecorder.OnInputEvent(message, value, data);
    } else if (m_recorderType == 2) {
        if (keyboard)
            m_pipelinedRecorder.OnInputEvent(message, value, data);
        else
            m_pipelinedRecorder.OnMouseEvent(message, value, data);
    }
}

void CVQHUD::DeleteLater(CVQWindow* window) {
    if (!window || window == &m_logo || window == &m_dashboard || m_deleted.IndexOf(window) >= 0) return;
    ForgetWindow(window);
    m_deleted.Insert(window);
}

void CVQHUD::FlushDeleted() {
    while (m_deleted.Count()) {
        CVQWindow* window = static_cast<CVQWindow*>(m_deleted.Get(0));
        m_deleted.RemoveAt(0);
        window->ReleaseSurface();
        delete window;
    }
}

void CVQHUD::ForgetWindow(CVQWindow* window) {
    // A window deleted by its owner (a frame deleting its children) may still
    // be listed: neither the drawing order nor the deletions may keep it.
    m_windows.Remove(window);
    m_deleted.Remove(window);
    m_players.Remove(window);
    if (m_focus == window) m_focus = nullptr;
    if (m_hover == window) m_hover = nullptr;
    if (m_capture == window) m_capture = nullptr;
    // Windows that answer to this one (its message boxes) go with it.
    for (int i = m_windows.Count() - 1; i >= 0; --i) {
        if (i >= m_windows.Count()) continue;
        CVQWindow* w = static_cast<CVQWindow*>(m_windows.Get(i));
        if (w->Owner() == window) w->OnOwnerGone();
    }
}

void CVQHUD::InviteIfRequested(const char* name, int start) {
    if (start) QueueShareInvitation(name);
}

void CVQHUD::QueueShareInvitation(const char* name) { AddName(&m_invitesPending, name, kMaxInvitations); }

void CVQHUD::MarkInvited(const char* name) {
    AddName(&m_invitesSent, name, kMaxInvitations);
    // A new session: the friend is not told its number, which ends the view.
    ShareClient()->RefreshSession();
}

void CVQHUD::ConnectView(const char* peer, int number, const char* host, int port) {
    // Only a view this player asked for connects; other announcements are dropped.
    for (int i = 0; i < m_views.Count(); ++i) {
        CVQDecodeVS* session = static_cast<CVQDecodeVS*>(m_views.Get(i));
        if (peer && strcmp(session->GetPeerName(), peer) == 0) {
            session->Connect(m_user.Str(), m_password.Str(), number, host, port);
            return;
        }
    }
}

void CVQHUD::ReloadShareServer(const char* fallback) {
    m_shareHost = VKShareServerHost(fallback);
    ShareClient()->SetServer(m_shareHost.Str(), m_sharePort);
}

void CVQHUD::SetShareServerPort(int port) {
    if (port > 0 && port <= 65535) m_sharePort = port;
    ShareClient()->SetServer(m_shareHost.Str(), m_sharePort);
}

void CVQHUD::StopShare() {
    if (ShareClient()->IsActive()) ShareClient()->Logout();
    m_shareSession = 0;
}

void CVQHUD::BringToTop(CVQWindow* window) {
    if (m_windows.IndexOf(window) < 0) return;
    m_windows.Remove(window);
    m_windows.Insert(window);
}

bool CVQHUD::AnyWindowVisible() const {
    for (int i = 0; i < m_windows.Count(); ++i) {
        CVQWindow* w = static_cast<CVQWindow*>(m_windows.Get(i));
        if (w && w->IsVisible(0)) return true;
    }
    return false;
}

bool CVQHUD::IsHotKeyDown() const { return VQIsKeyDown(m_hotKey); }

bool CVQHUD::IsPointerVisible() {
    // The focus first: the key state is a trip to the system on some
    // platforms, and this is asked on every frame.
    if (m_focus && m_focus->IsVisible(1)) return true;
    // A key goes down in the game's key state with a key message, and the
    // keyboard hook or the DirectInput proxy hands each one to the HUD's
    // input; so a costly source is asked only once a hot-key press was seen,
    // and then on every frame until it says the key is up.
    if (!VQKeyStateIsCostly()) return IsHotKeyDown();
    if (!m_hotKeyMayBeDown) return false;
    if (IsHotKeyDown()) return true;
    m_hotKeyMayBeDown = 0;
    return false;
}

CVQWindow* CVQHUD::SetFocusWindow(CVQWindow* window, bool pickTopmost) {
    if (!window && pickTopmost) {
        for (int i = m_windows.Count() - 1; i >= 1; --i) {
            CVQWindow* w = static_cast<CVQWindow*>(m_windows.Get(i));
            if (w->IsVisible(0)) {
                window = w;
                break;
            }
        }
    }
    CVQWindow* previous = m_focus;
    m_focus = window;
    int handled = 0;
    if (previous) previous->OnNotify(8, nullptr, window, &handled);
    if (window) window->OnNotify(7, nullptr, previous, &handled);
    UpdateActiveStates();
    return previous;
}

void CVQHUD::SetHoverWindow(CVQWindow* window) {
    if (window == m_hover) return;
    CVQWindow* previous = m_hover;
    m_hover = window;
    int handled = 0;
    if (previous) previous->OnMouse(0x2A3, 0, 0, &handled);  // mouse left
    if (window) window->OnMouse(0x2A1, 0, 0, &handled);      // mouse hover
}

void CVQHUD::UpdateActiveStates() {
    for (int i = m_windows.Count() - 1; i >= 1; --i) {
        CVQWindow* w = static_cast<CVQWindow*>(m_windows.Get(i));
        int active = (i == m_windows.Count() - 1 && m_focus) ? 1 : 0;
        if (w->IsActive() != active) w->SetActive(active);
    }
}

void CVQHUD::FlipKind(int kind) {
    for (int i = m_windows.Count() - 1; i >= 1; --i) {
        CVQWindow* w = static_cast<CVQWindow*>(m_windows.Get(i));
        if (w->Kind() == kind) w->SetVisible(w->IsVisible(0) ? 0 : 1);
    }
}

void CVQHUD::RotateFocus() {
    int count = m_windows.Count();
    CVQWindow* candidate = nullptr;
    if (m_dashboard.IsVisible(0)) {
        candidate = &m_dashboard;
    } else {
        int at = m_windows.IndexOf(&m_dashboard);
        for (int step = 1; at >= 0 && step < count; ++step) {
            int i = at + step;
            if (i >= count) i = 1 + (i - count);  // wrap from the end to index 1
            if (i >= count) break;
            CVQWindow* w = static_cast<CVQWindow*>(m_windows.Get(i));
            if (w != &m_dashboard && w->IsVisible(0)) {
                candidate = w;
                break;
            }
        }
        if (!candidate) candidate = &m_dashboard;
    }
    if (candidate->IsVisible(0) && candidate->IsActive()) {
        SetFocusWindow(nullptr, false);
        return;
    }
    CVQWindow* examined = nullptr;
    for (int n = 0; n < count - 1; ++n) {
        CVQWindow* top = static_cast<CVQWindow*>(m_windows.Get(m_windows.Count() - 1));
        m_windows.RemoveAt(m_windows.Count() - 1);
        if (m_windows.Count() < 1)
            m_windows.Insert(top);
        else
            m_windows.Insert(top, 1);
        examined = static_cast<CVQWindow*>(m_windows.Get(m_windows.Count() - 1));
        if (examined->IsVisible(0)) {
            SetFocusWindow(examined, true);
            return;
        }
    }
    SetFocusWindow(examined, true);
}

void CVQHUD::ToggleShown() {
    bool shown = m_dashboard.IsVisible(0);
    m_logo.SetVisible(shown ? 0 : 1);
    for (int i = m_windows.Count() - 1; i >= 1; --i)
        static_cast<CVQWindow*>(m_windows.Get(i))->SetVisible(shown ? 0 : 1);
    if (!m_focus) SetFocusWindow(&m_dashboard, true);
    UpdateActiveStates();
}

int CVQHUD::OnKeyboardInput(uint32_t message, uint32_t key, uint32_t keyData, int* handled) {
    if (key == m_hotKey && (message == kKeyDown || message == kSysKeyDown)) m_hotKeyMayBeDown = 1;
    if (message == kKeyDown && key == m_hotKey && !(keyData & (1u << 30))) {
        m_lonePress = 1;
        *handled = 1;
        return 0;
    }
    if (message == kKeyDown && key != m_hotKey && IsHotKeyDown()) {
        if (key == 'C' || key == 'V' || key == VK_TAB) {
            if (key == 'C')
                FlipKind(12);
            else if (key == 'V')
                FlipKind(13);
            else
                RotateFocus();
            m_lonePress = 0;
            *handled = 1;
            return 0;
        }
    }
    if (message == kKeyUp && key == m_hotKey && m_lonePress) {
        m_lonePress = 0;
        ToggleShown();
        *handled = 1;
        return 0;
    }
    if (m_focus && m_focus->IsVisible(1)) {
        CVQWindow* focus = m_focus;
        focus->OnKeyboard(message, key, keyData, handled);
        // Keys a focused control leaves alone (Tab, Esc) reach its frame.
        if (!*handled && focus->GetParent()) focus->GetParent()->OnKeyboard(message, key, keyData, handled);
    }
    // Input the HUD did not take is recorded with the game.
    if (!*handled) RecordInput(true, message, key, keyData);
    AfterKeyboardInput(message, key, keyData, handled);
    return 0;
}

int CVQHUD::OnMouseInput(uint32_t message, uint32_t data, uint32_t position, int* handled) {
    m_pointerX = static_cast<int16_t>(position & 0xFFFF);
    m_pointerY = static_cast<int16_t>(position >> 16);
    if (m_capture) {
        m_capture->OnMouse(message, data, position, handled);
        return 0;
    }
    for (int i = m_windows.Count() - 1; i >= 1; --i) {
        CVQWindow* w = static_cast<CVQWindow*>(m_windows.Get(i));
        if (w->IsVisible(0) && w->Contains(m_pointerX, m_pointerY)) {
            w->OnMouse(message, data, position, handled);
            return 0;
        }
    }
    if (!*handled) RecordInput(false, message, data, position);
    if (message == kLButtonDown) SetFocusWindow(nullptr, false);
    AfterMouseInput(message, data, position, handled);
    return 0;
}

int CVQHUD::AfterKeyboardInput(uint32_t, uint32_t, uint32_t, int*) { return 0; }

int CVQHUD::AfterMouseInput(uint32_t, uint32_t, uint32_t, int*) { return 0; }
