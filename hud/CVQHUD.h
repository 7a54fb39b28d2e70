#pragma once
#include <atomic>
#include <cstdint>

#include "CVKPtrList.h"
#include "CVKString.h"
#include "CVQController.h"
#include "CVQDashboard.h"
#include "CVQHUD_AudioT.h"
#include "CVQHUD_Chat.h"
#include "CVQHUD_Misc.h"
#include "CVQHUD_Voice.h"
#include "CVQLogo.h"
#include "CVQRecord.h"
#include "CVQRecordAvi.h"
#include "CVQRecordSE.h"
#include "CVQRecordVS.h"
#include "IVKClock.h"
#include "IVQRecord.h"

class CVQBrowsePlayWnd;
class CVQDecodeVS;
class CVQViewWnd;
class CVQWindow;

// The one object that owns the in-game HUD of a process: its windows and
// their drawing order, the focus and hover windows, and its components.
// Made by the first presented frame, updated once per frame from Present,
// fed with keyboard and mouse input, destroyed with the device.
//
// Threads: Update and the composition run on the thread that presents; input
// arrives on the threads of the hooks. The frame serialises them with one
// lock held only while either is inside the HUD.
class CVQHUD {
public:
    CVQHUD();
    virtual ~CVQHUD();
    CVQHUD(const CVQHUD&) = delete;
    CVQHUD& operator=(const CVQHUD&) = delete;

    virtual void Init();
    virtual void Shutdown();
    // Every Direct3D surface the HUD holds is released (made again on demand).
    virtual void ReleaseSurfaces();
    virtual void Update();
    virtual void BringToTop(CVQWindow* window);
    // The hot key is held, or the focus window is visible with its parents.
    virtual bool IsPointerVisible();
    virtual int OnKeyboardInput(uint32_t message, uint32_t key, uint32_t keyData, int* handled);
    virtual int OnMouseInput(uint32_t message, uint32_t data, uint32_t position, int* handled);
    // Called last by OnKeyboardInput and OnMouseInput, with their arguments,
    // for an event that went the whole way (not one of the hot key's, nor a
    // click on a window): the place where a HUD derived from this one acts on
    // such events. Here they do nothing and return 0.
    virtual int AfterKeyboardInput(uint32_t message, uint32_t key, uint32_t keyData, int* handled);
    virtual int AfterMouseInput(uint32_t message, uint32_t data, uint32_t position, int* handled);

    // Focus and hover (the previous focus is returned). With window null and
    // pickTopmost set, the topmost visible window above the logo gets the focus.
    CVQWindow* SetFocusWindow(CVQWindow* window, bool pickTopmost);
    void SetHoverWindow(CVQWindow* window);
    // The topmost window is drawn active while a window has the focus.
    void UpdateActiveStates();

    // Drawing order: index 0 (the logo) first, the last entry topmost.
    const CVKPtrList& Windows() const { return m_windows; }
    // Some window of the drawing order is visible (the frame draws nothing else).
    bool AnyWindowVisible() const;
    void AddWindow(CVQWindow* window) { m_windows.Insert(window); }
    void RemoveWindow(CVQWindow* window) { m_windows.Remove(window); }
    // Deletes a window at the next safe point (start of the next frame), so
    // a window may close itself from inside its own handlers.
    void DeleteLater(CVQWindow* window);
    // Recording players: each gets its playback step every frame while it is
    // visible (its idle step while hidden). The list does not own them.
    void AddPlayer(CVQBrowsePlayWnd* player);
    void RemovePlayer(CVQBrowsePlayWnd* player) { m_players.Remove(player); }
    const CVKPtrList& Players() const { return m_players; }
    // Mouse events go to this window until it lets go (a caption being dragged).
    void SetCapture(CVQWindow* window) { m_capture = window; }
    // Called by a window's destructor: no pointer to it may stay behind
    // (focus, hover, capture, the window list, the windows waiting for deletion).
    void ForgetWindow(CVQWindow* window);

    CVQWindow* FocusWindow() const { return m_focus; }
    CVQWindow* HoverWindow() const { return m_hover; }
    CVQWindow* CaptureWindow() const { return m_capture; }
    int32_t PointerX() const { return m_pointerX; }
    int32_t PointerY() const { return m_pointerY; }
    uint32_t HotKey() const { return m_hotKey; }
    bool IsHotKeyDown() const;
    void ClearLonePress() { m_lonePress = 0; }
    CVQDashboard* Dashboard() { return &m_dashboard; }
    CVQLogo* Logo() { return &m_logo; }
    int RecorderType() const { return m_recorderType; }
    // The recorder of the configured type, or null for a type without one.
    IVQRecord* CurrentRecorder();
    CVQRecordSE* SessionRecorder() { return &m_sessionRecorder; }
    CVQRecord* PipelinedRecorder() { return &m_pipelinedRecorder; }
    CVQRecordAvi* AviRecorder() { return &m_aviRecorder; }
    // R on the dashboard: ends the running recording, or begins one unless
    // the back buffer is multisampled. The record button and the logo follow.
    // 1 when the recorder changed state. Runs on the thread that presents.
    virtual int ToggleRecording();
    // R and S (keys or the dashboard's buttons) arrive on whatever thread the
    // game reads its input on, so they only ask: Update, on the thread that
    // presents, carries the change out at the next frame (recorders and the
    // share copy the back buffer; the device is used from that thread only).
    // A second ask before that frame withdraws the first.
    void RequestRecordingToggle() { m_recordingAsked.fetch_xor(1); }
    void RequestShareToggle() { m_shareAsked.fetch_xor(1); }
    // True (after telling the player) when the back buffer is multisampled:
    // recording and sharing cannot copy such a buffer.
    bool RefusedForMultisampling();

    // The social components and the signed-in user.
    CVQHUD_Chat* Chat() { return &m_chat; }
    CVQHUD_Misc* Misc() { return &m_misc; }
    // Sound of viewed streams and voice calls; voice calls.
    CVQHUD_AudioT* Audio() { return &m_audio; }
    CVQHUD_Voice* Voice() { return &m_voice; }
    const char* GetUser() const { return m_user.Str(); }
    const char* GetPassword() const { return m_password.Str(); }
    void SetUser(const char* user) { m_user.Set(user); }
    void SetPassword(const char* password) { m_password.Set(password); }

    // A friend asked to watch: with start set, told about the share once it runs.
    virtual void InviteIfRequested(const char* name, int start);
    // A friend's stream is ready: the view session of that friend connects.
    virtual void ConnectView(const char* peer, int number, const char* host, int port);
    // The video-sharing server: the setting "serverAddrVS", else fallback.
    virtual void ReloadShareServer(const char* fallback);
    const char* GetShareServerHost() const { return m_shareHost.Str(); }
    virtual void SetShareServerPort(int port);
    int GetShareServerPort() const { return m_sharePort; }
    virtual void QueueShareInvitation(const char* name);
    // The friend counts as told about the share (a friend refused video is
    // not told the next session number).
    virtual void MarkInvited(const char* name);
    virtual void StopShare();
    // Opens and logs in the share client unless it is so already (sharing
    // then starts with the recorder's next frame).
    virtual void StartShare();
    // The player asked to share (or no more: without viewers the share stops).
    virtual void SetShareRequested(int flag);
    int IsShareRequested() const { return m_shareRequested; }
    // The clock of Update's 3- and 15-second work (null: the system clock); tests move their own.
    void SetClock(IVKClock* clock) { m_clock = clock ? clock : VKSystemClock(); }
    CVQRecordVS* ShareRecorder() { return &m_shareRecorder; }
    CVQShareVS* ShareClient() { return m_shareRecorder.GetClient(); }

    // Viewing: a view window for the contact selected in the dashboard.
    virtual void ViewSelectedContact();
    // The window's view ends: the sharer is told, the session leaves the list.
    virtual void CloseView(CVQViewWnd* window);
    // Closes every view window (signing out).
    void CloseAllViews();
    // The view sessions, one per view window (not owned: each window owns its own).
    const CVKPtrList& ViewSessions() const { return m_views; }
    // Called by a view window's destructor.
    void ForgetViewSession(CVQDecodeVS* session) { m_views.Remove(session); }
    const CVKPtrList& PendingInvitations() const { return m_invitesPending; }
    const CVKPtrList& SentInvitations() const { return m_invitesSent; }
    int ShareSession() const { return m_shareSession; }
    // Names kept in each invitation list at most.
    static constexpr int kMaxInvitations = 64;

private:
    void FlushDeleted();
    void CarryOutRequests();
    void RotateFocus();
    void ToggleShown();
    void FlipKind(int kind);
    void RecordFrame();
    void RecordInput(bool keyboard, uint32_t message, uint32_t value, uint32_t data);
    void StepPlayers();
    void FollowRecorder();
    void UpdateShare();
    void ShareTimers();
    void UpdateViews();
    void AnnounceShare(const char* name);
    // The sound a view session decoded goes to the playback of viewed streams.
    void PlayViewSound(CVQDecodeVS* session);

    CVKPtrList m_windows;
    CVQWindow* m_focus;
    CVQWindow* m_hover;
    int32_t m_pointerX;
    int32_t m_pointerY;
    uint32_t m_hotKey;
    // The input seen has had the hot key go down since a costly key-state
    // source last said it was up (see IsPointerVisible).
    int m_hotKeyMayBeDown;
    int m_lonePress;
    int m_recorderType;
    CVQHUD_Chat m_chat;
    CVQHUD_Misc m_misc;
    CVQHUD_AudioT m_audio;
    CVQHUD_Voice m_voice;
    CVQLogo m_logo;
    CVQDashboard m_dashboard;
    // The controller is declared first so it outlives the recorder: the
    // recorder's destructor takes its encoder off the controller's list and
    // closes it (the file's last bytes) while the controller still exists.
    CVQController m_controller;
    CVQRecord m_pipelinedRecorder;  // type 2, with its worker controller
    CVQRecordAvi m_aviRecorder;     // type 1
    CVQRecordSE m_sessionRecorder;  // type 0
    CVQRecordVS m_shareRecorder;    // live share, with its share client
    CVKPtrList m_views;             // CVQDecodeVS*, each owned by its view window
    int m_shareRequested;
    // Seconds of the last 3- and 15-second work of Update, on m_clock.
    int64_t m_last3;
    int64_t m_last15;
    IVKClock* m_clock;
    CVKString m_user;
    CVKString m_password;
    CVKPtrList m_invitesPending;  // CVKString*, owned
    CVKPtrList m_invitesSent;     // CVKString*, owned
    int m_shareSession;
    CVKString m_shareHost;
    int m_sharePort;
    CVQWindow* m_capture;
    CVKPtrList m_deleted;  // closed windows waiting for the next safe point
    CVKPtrList m_players;  // CVQBrowsePlayWnd*, not owned
    // R and S asked from the input side, for the next Update (1: toggle).
    std::atomic<int> m_recordingAsked;
    std::atomic<int> m_shareAsked;
};

// The one HUD of the process belongs to the engine, whatever Direct3D frame
// drives it: a HUD registers itself while it lives, the frame makes it on its
// first presented frame and ends it with the device, and everything else
// (windows, input, recorders, tests) asks for it here.
// The HUD of this process, or null.
CVQHUD* VQHud();
// The HUD of this process, made and initialised when there is none yet.
CVQHUD* VQCreateHud();
// Shuts the HUD down and deletes it; nothing when there is none.
void VQDestroyHud();

// Key state as the HUD sees it (GetKeyState below 0); tests give their own.
// A costly source (the system's: under Wine each read is a round trip to the
// wine server) is not asked for the hot key by the frame's pointer check
// until the HUD's input has seen the hot key go down; a test may mark its own
// source costly to see that. A null source restores the system's.
bool VQIsKeyDown(uint32_t virtualKey);
typedef bool (*VQKeyStateFn)(uint32_t virtualKey);
void VQSetKeyStateSource(VQKeyStateFn source, bool costly = false);
bool VQKeyStateIsCostly();
