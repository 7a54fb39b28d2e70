#pragma once
#ifdef _WIN32
#include <cstdint>
#include <string>
#include <vector>

#include "CVKPtrList.h"
#include "CVKString.h"
#include "CVQVoiceVS.h"
#include "IVKClock.h"
#include "IVQVoiceStream.h"

class CVQWindow;

// A friend's call: who, and where the friend's voice stream is.
struct VoiceCall {
    CVKString caller;
    int session = 0;
    CVKString host;
    int port = 0;
    int id = 0;  // names the call's incoming-call box
};

// Voice calls. Each party streams its own voice to the video-sharing server
// (a "SHARE" login with the option "VOICE") and listens to the other's
// stream as a viewer; the chat server carries the session numbers between
// them ("REQUEST VOICE" out, "VOICE" in). Ticked once per frame by the HUD.
class CVQHUD_Voice {
public:
    enum State { kIdle = 0, kInCall = 1, kCalling = 2, kAnswering = 3 };

    // clock may be null: the system clock.
    explicit CVQHUD_Voice(IVKClock* clock = nullptr);
    CVQHUD_Voice(const CVQHUD_Voice&) = delete;
    CVQHUD_Voice& operator=(const CVQHUD_Voice&) = delete;
    virtual ~CVQHUD_Voice();

    virtual void Initialise();
    // Hangs up, forgets every incoming call and closes the voice stream's socket.
    virtual void Reset();
    virtual void Update();
    // Calls the friends (CVKString* items; the caller keeps them).
    virtual void Call(const CVKPtrList& names);
    virtual void HangUp();
    // A friend's "VOICE" with "Start".
    virtual void OnVoice(const char* caller, int session, const char* host, int port);
    // The player's answer to a friend's incoming call.
    virtual void Answer(const char* caller, int accepted);
    // The own voice stream's session number while it is logged in, else 0.
    virtual int GetVoiceSession();

    // A message box answered its owner: when it is an incoming-call box, its
    // call is answered (OK accepts; Cancel, refusing or closing refuses).
    // 1 when the box was one of ours.
    int OnCallBoxAnswer(CVQWindow* box);

    int GetState() const { return m_state; }
    CVQVoiceVS* Pipeline() { return &m_pipeline; }
    const CVKPtrList& CalledFriends() const { return m_called; }
    const CVKPtrList& IncomingCalls() const { return m_incoming; }
    const CVKPtrList& AcceptedCalls() const { return m_accepted; }
    const std::string& StateLine() const { return m_stateLine; }
    // Tests: their own clock, their own friends' streams.
    void SetClock(IVKClock* clock);
    void SetStreamFactory(VQVoiceStreamFactory factory) { m_factory = factory; }

    static constexpr const char* kBoxTag = "msgIncomingCall";
    // Calls waiting for an answer, friends called and friends listened to,
    // at most: a hostile server cannot pile up boxes or streams.
    static constexpr int kMaxIncomingCalls = 4;
    static constexpr int kMaxCalledFriends = 16;
    static constexpr int kMaxRemoteVoices = 8;

private:
    void StartVoiceShare();
    void StartRemoteVoice(const char* caller, int session, const char* host, int port);
    void AddIncoming(const char* caller, int session, const char* host, int port);
    VoiceCall* TakeCall(CVKPtrList* list, const char* caller);
    void AddCalled(const char* name);
    bool RemoveCalled(const char* name);
    void RequestVoice(const char* name);
    void PlayRemoteSound();
    void CloseRemoteChannels();
    // Logs, per friend heard in the call, how much sound went to playback,
    // its peak level and how many samples were at full scale (clipped sound
    // has many; a loud voice that is not clipped has few or none), and
    // forgets them.
    void LogHeard();
    void LogState();

    // What a friend's stream gave the playback so far in this call.
    struct Heard {
        IVQVoiceStream* voice;
        CVKString name;
        int64_t bytes;
        int peak;           // largest sample magnitude, 16-bit scale
        int64_t fullScale;  // samples at either end of their range
    };

    int m_destroying;
    CVQVoiceVS m_pipeline;
    CVKPtrList m_called;    // CVKString*, owned
    CVKPtrList m_incoming;  // VoiceCall*, owned
    CVKPtrList m_accepted;  // VoiceCall*, owned
    int m_state;
    int64_t m_last3;
    int64_t m_last15;
    IVKClock* m_clock;
    VQVoiceStreamFactory m_factory;
    int m_nextCallId;
    std::string m_stateLine;
    std::vector<Heard> m_heard;
};

// Makes the game build's friend voice stream (over the view session's
// decoder), or null when none can be made.
IVQVoiceStream* VQMakeVoiceStream();
#endif
