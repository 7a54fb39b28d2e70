#ifdef _WIN32
#include "CVQHUD_Voice.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "CVQDashboard.h"
#include "CVQDecodeVoice.h"
#include "CVQHUD.h"
#include "CVQHUD_AudioT.h"
#include "CVQHUD_Chat.h"
#include "CVQMsgBox.h"
#include "VKGameNumber.h"
#include "VKLog.h"

namespace {
void FreeCalls(CVKPtrList* calls) {
    for (int i = 0; i < calls->Count(); ++i) delete static_cast<VoiceCall*>(calls->Get(i));
    calls->Clear();
}
}  // namespace

CVQHUD_Voice::CVQHUD_Voice(IVKClock* clock)
    : m_destroying(0),
      m_pipeline(nullptr, clock),
      m_state(kIdle),
      m_last3(0),
      m_last15(0),
      m_clock(clock ? clock : VKSystemClock()),
      m_factory(VQMakeVoiceStream),
      m_nextCallId(1),
      m_stateLine("NCU NC NS\n") {}

CVQHUD_Voice::~CVQHUD_Voice() {
    m_destroying = 1;
    Reset();
    FreeStringList(&m_called);
}

void CVQHUD_Voice::SetClock(IVKClock* clock) {
    m_clock = clock ? clock : VKSystemClock();
    m_pipeline.SetClock(m_clock);
}

void CVQHUD_Voice::Initialise() { Reset(); }

void CVQHUD_Voice::Reset() {
    HangUp();
    FreeCalls(&m_incoming);
    m_pipeline.EndCall();
    m_pipeline.Client()->Close();
    LogState();
}

int CVQHUD_Voice::GetVoiceSession() {
    CVQShareVS* client = m_pipeline.Client();
    return client->IsLoggedIn() ? client->GetSession() : 0;
}

void CVQHUD_Voice::AddCalled(const char* name) {
    if (!name || !*name || StringListContains(m_called, name) || m_called.Count() >= kMaxCalledFriends) return;
    m_called.Insert(new CVKString(name));
}

bool CVQHUD_Voice::RemoveCalled(const char* name) {
    for (int i = 0; i < m_called.Count(); ++i) {
        CVKString* s = static_cast<CVKString*>(m_called.Get(i));
        if (!s->Equals(name)) continue;
        delete s;
        m_called.RemoveAt(i);
        return true;
    }
    return false;
}

VoiceCall* CVQHUD_Voice::TakeCall(CVKPtrList* list, const char* caller) {
    for (int i = 0; i < list->Count(); ++i) {
        VoiceCall* call = static_cast<VoiceCall*>(list->Get(i));
        if (!call->caller.Equals(caller)) continue;
        list->RemoveAt(i);
        return call;
    }
    return nullptr;
}

void CVQHUD_Voice::RequestVoice(const char* name) {
    if (CVQHUD* hud = VQHud()) hud->Chat()->RequestVoice(name, 1);
}

void CVQHUD_Voice::StartVoiceShare() {
    CVQHUD* hud = VQHud();
    CVQShareVS* client = m_pipeline.Client();
    if (!client->IsOpen() && !client->Open()) LogMessage("CVQHUD_Voice::Call(): Can't open the voice stream\r\n");
    CVKString number = VKGameNumberOfThisLibrary();
    client->SetGameNumber(number.Str());
    m_pipeline.ReadVoiceSettings();
    const WAVEFORMATEX& format = m_pipeline.Format();
    // A picture size and rate that pass the server's checks; no picture is sent.
    client->SetWidth(800);
    client->SetHeight(600);
    client->SetFrameRate(20);
    client->SetChannels(format.nChannels);
    client->SetSamplesPerSec(static_cast<int>(format.nSamplesPerSec));
    client->SetBitsPerSample(format.wBitsPerSample);
    client->ClearOptions();
    char option[64];
    snprintf(option, sizeof option, "AudioBitrate=%d", m_pipeline.AudioBitRate());
    client->AddOption(CVKString(option));
    client->AddOption(CVKString("VOICE"));
    if (hud) {
        client->SetServer(hud->GetShareServerHost(), hud->GetShareServerPort());
        client->Login(hud->GetUser(), hud->GetPassword());
    }
    m_last3 = m_last15 = m_clock->Seconds();
}

void CVQHUD_Voice::StartRemoteVoice(const char* caller, int session, const char* host, int port) {
    CVQHUD* hud = VQHud();
    CVKPtrList* voices = m_pipeline.RemoteVoices();
    if (voices->Count() >= kMaxRemoteVoices) {
        LogMessage("CVQHUD_Voice::OnVoice(): Too many voices, session %d not heard\r\n", session);
        return;
    }
    IVQVoiceStream* voice = m_factory ? m_factory() : nullptr;
    if (!voice || !voice->Open()) {
        delete voice;
        ShowMessage("Error creating voice decoder", hud ? hud->Dashboard() : nullptr, 1);
        return;
    }
    voice->SetPeerName(caller);
    m_pipeline.AddRemoteVoice(voice);
    m_heard.push_back(Heard{voice, CVKString(caller), 0, 0, 0});
    voice->Connect(hud ? hud->GetUser() : "", hud ? hud->GetPassword() : "", session, host, port);
}

void CVQHUD_Voice::AddIncoming(const char* caller, int session, const char* host, int port) {
    if (!caller || !*caller) return;
    // A caller who calls again while the box is up: the box stays, the call
    // is brought up to date.
    for (int i = 0; i < m_incoming.Count(); ++i) {
        VoiceCall* call = static_cast<VoiceCall*>(m_incoming.Get(i));
        if (!call->caller.Equals(caller)) continue;
        call->session = session;
        call->host.Set(host);
        call->port = port;
        return;
    }
    if (m_incoming.Count() >= kMaxIncomingCalls) {
        LogMessage("CVQHUD_Voice::OnVoice(): Too many calls waiting, call from %.64s dropped\r\n", caller);
        return;
    }
    VoiceCall* call = new VoiceCall();
    call->caller.Set(caller);
    call->session = session;
    call->host.Set(host);
    call->port = port;
    call->id = m_nextCallId++;
    m_incoming.Insert(call);
    CVQHUD* hud = VQHud();
    std::string text = std::string("Incoming call from:\n") + caller;
    if (!AskConfirm(text.c_str(), hud ? hud->Dashboard() : nullptr, kBoxTag, caller, 2,
                    reinterpret_cast<void*>(static_cast<intptr_t>(call->id)))) {
        // No box could be shown: the call is not left waiting for an answer
        // that cannot come.
        m_incoming.Remove(call);
        delete call;
    }
}

void CVQHUD_Voice::Call(const CVKPtrList& names) {
    if (m_state == kIdle) {
        bool any = false;
        for (int i = 0; i < names.Count(); ++i) {
            const char* name = static_cast<CVKString*>(names.Get(i))->Str();
            if (*name) any = true;
            AddCalled(name);
        }
        if (any) {
            StartVoiceShare();
            m_state = kCalling;
        }
    } else if (m_state == kInCall) {
        for (int i = 0; i < names.Count(); ++i) {
            const char* name = static_cast<CVKString*>(names.Get(i))->Str();
            if (!*name) continue;
            RequestVoice(name);
            AddCalled(name);
        }
    } else {
        for (int i = 0; i < names.Count(); ++i) AddCalled(static_cast<CVKString*>(names.Get(i))->Str());
    }
    LogState();
}

void CVQHUD_Voice::OnVoice(const char* caller, int session, const char* host, int port) {
    if (!caller || !*caller) return;
    const bool called = StringListContains(m_called, caller);
    if (m_state == kIdle || !called) {
        AddIncoming(caller, session, host, port);
    } else if (m_state == kInCall) {
        StartRemoteVoice(caller, session, host, port);
        RemoveCalled(caller);
    } else {
        VoiceCall* call = TakeCall(&m_accepted, caller);
        if (!call) call = new VoiceCall();
        call->caller.Set(caller);
        call->session = session;
        call->host.Set(host);
        call->port = port;
        m_accepted.Insert(call);
        StartRemoteVoice(caller, session, host, port);
        m_state = kAnswering;
        RemoveCalled(caller);
    }
    LogState();
}

void CVQHUD_Voice::Answer(const char* caller, int accepted) {
    VoiceCall* call = caller ? TakeCall(&m_incoming, caller) : nullptr;
    if (!call) return;
    if (!accepted) {
        delete call;
        LogState();
        return;
    }
    const CVKString name = call->caller;
    const int session = call->session;
    const CVKString host = call->host;
    const int port = call->port;
    if (m_state == kInCall) {
        RequestVoice(call->caller.Str());
        delete call;
    } else {
        VoiceCall* old = TakeCall(&m_accepted, call->caller.Str());
        delete old;
        m_accepted.Insert(call);
        if (m_state == kIdle) StartVoiceShare();
        m_state = kAnswering;
    }
    StartRemoteVoice(name.Str(), session, host.Str(), port);
    LogState();
}

int CVQHUD_Voice::OnCallBoxAnswer(CVQWindow* window) {
    if (!window || window->Kind() != CVQFrmWnd::kMessageBox) return 0;
    CVQMsgBox* box = static_cast<CVQMsgBox*>(window);
    const char* tag = box->GetTag();
    if (!tag || strcmp(tag, kBoxTag) != 0) return 0;
    const int id = static_cast<int>(reinterpret_cast<intptr_t>(box->GetUserData()));
    for (int i = 0; i < m_incoming.Count(); ++i) {
        VoiceCall* call = static_cast<VoiceCall*>(m_incoming.Get(i));
        if (call->id != id) continue;
        const CVKString caller = call->caller;
        Answer(caller.Str(), box->GetResult() == CVQMsgBox::kOk ? 1 : 0);
        break;
    }
    return 1;
}

void CVQHUD_Voice::CloseRemoteChannels() {
    // The friends' playback channels go with their streams.
    CVQHUD* hud = m_destroying ? nullptr : VQHud();
    CVKPtrList* voices = m_pipeline.RemoteVoices();
    for (int i = 0; hud && i < voices->Count(); ++i) {
        IVQVoiceStream* voice = static_cast<IVQVoiceStream*>(voices->Get(i));
        if (voice->GetAudioChannel() >= 0) hud->Audio()->CloseChannel(voice->GetAudioChannel());
        voice->SetAudioChannel(-1);
    }
}

void CVQHUD_Voice::HangUp() {
    CVQShareVS* client = m_pipeline.Client();
    // A login still being retried is ended too: a call hung up while it was
    // being set up must not start streaming once the server answers.
    if (client->IsActive()) client->Logout();
    LogHeard();
    CloseRemoteChannels();
    m_pipeline.CloseRemoteVoices();
    FreeStringList(&m_called);
    FreeCalls(&m_accepted);
    m_state = kIdle;
    LogState();
}

void CVQHUD_Voice::PlayRemoteSound() {
    CVQHUD* hud = VQHud();
    if (!hud) return;
    CVKPtrList* voices = m_pipeline.RemoteVoices();
    for (int i = 0; i < voices->Count(); ++i) {
        IVQVoiceStream* voice = static_cast<IVQVoiceStream*>(voices->Get(i));
        const uint8_t* data = nullptr;
        int size = 0;
        int64_t timestamp = 0;
        if (!voice->TakeAudio(&data, &size, &timestamp) || !data || size <= 0) continue;
        if (voice->GetAudioChannel() < 0 || !hud->Audio()->HasChannel(voice->GetAudioChannel())) {
            const int channel = hud->Audio()->OpenChannel(voice->GetSamplesPerSec(), voice->GetChannels(),
                                                          voice->GetBitsPerSample() / 8);
            // This friend stays silent; a refusing device is asked again
            // about once a second, not for every piece.
            if (channel < 0) continue;
            voice->SetAudioChannel(channel);
        }
        hud->Audio()->Play(voice->GetAudioChannel(), data, size);
        for (Heard& heard : m_heard) {
            if (heard.voice != voice) continue;
            heard.bytes += size;
            if (voice->GetBitsPerSample() == 16) {
                for (int at = 0; at + 1 < size; at += 2) {
                    const int sample = static_cast<int16_t>(static_cast<uint16_t>(data[at] | data[at + 1] << 8));
                    const int level = sample < 0 ? -sample : sample;
                    if (level > heard.peak) heard.peak = level;
                    if (level >= 32767) heard.fullScale++;
                }
            } else if (voice->GetBitsPerSample() == 8) {
                for (int at = 0; at < size; ++at) {
                    const int level = (data[at] < 128 ? 128 - data[at] : data[at] - 128) << 8;
                    if (level > heard.peak) heard.peak = level;
                    if (data[at] == 0 || data[at] == 255) heard.fullScale++;
                }
            }
        }
    }
}

void CVQHUD_Voice::LogHeard() {
    for (const Heard& heard : m_heard)
        LogMessage("Heard %.64s: %" PRId64 " bytes of sound to playback, peak %d, %" PRId64
                   " samples at full scale\r\n",
                   heard.name.Str(), heard.bytes, heard.peak, heard.fullScale);
    m_heard.clear();
}

void CVQHUD_Voice::Update() {
    m_pipeline.Update();
    CVQShareVS* client = m_pipeline.Client();
    if (m_state != kIdle) {
        const int64_t now = m_clock->Seconds();
        if (now - m_last15 >= 15) {
            m_last15 = now;
            // Nobody listens to the own voice (a called friend who never
            // answered, or everybody left): the call ends.
            if (client->GetViewers()->Count() == 0) HangUp();
        }
        if (now - m_last3 >= 3) {
            m_last3 = now;
            client->RequestViewers();
        }
    }
    if (m_state == kInCall && !client->IsLoggedIn()) {
        HangUp();
    } else if ((m_state == kCalling || m_state == kAnswering) && client->IsLoggedIn()) {
        m_state = kInCall;
        for (int i = 0; i < m_accepted.Count(); ++i)
            RequestVoice(static_cast<VoiceCall*>(m_accepted.Get(i))->caller.Str());
        FreeCalls(&m_accepted);
        for (int i = 0; i < m_called.Count(); ++i) RequestVoice(static_cast<CVKString*>(m_called.Get(i))->Str());
        LogState();
    }
    PlayRemoteSound();
}

IVQVoiceStream* VQMakeVoiceStream() { return new CVQDecodeVoice(); }

void CVQHUD_Voice::LogState() {
    static const char* const kStates[] = {"NS\n", "S\n", "WS\n", "WSCU\n"};
    std::string line = m_incoming.Count() ? "CU " : "NCU ";
    line += m_called.Count() ? "C " : "NC ";
    line += kStates[m_state >= 0 && m_state <= 3 ? m_state : 0];
    if (line == m_stateLine) return;
    m_stateLine = line;
    LogMessage("%s", line.c_str());
}
#endif
