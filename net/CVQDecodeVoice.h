#pragma once
#include <cstdint>

#include "CVQDecodeVS.h"
#include "IVQVoiceStream.h"

// A friend's voice heard through a view session: the session's client logs
// in to the friend's voice stream and its decoder turns the packets into PCM
// sound (the stream carries no pictures).
class CVQDecodeVoice : public IVQVoiceStream {
public:
    int Open() override { return m_session.Open(); }
    void Close() override { m_session.Close(); }
    void Update() override;
    void Connect(const char* user, const char* password, int session, const char* host, int port) override {
        m_session.Connect(user, password, session, host, port);
    }
    void Logout() override { m_session.Logout(); }
    int TakeAudio(const uint8_t** data, int* size, int64_t* timestamp) override;
    int GetSamplesPerSec() override { return m_session.GetClient()->GetSamplesPerSec(); }
    int GetChannels() override { return m_session.GetClient()->GetChannels(); }
    int GetBitsPerSample() override { return m_session.GetClient()->GetBitsPerSample(); }
    void SetAudioChannel(int channel) override { m_session.SetAudioChannel(channel); }
    int GetAudioChannel() override { return m_session.GetAudioChannel(); }
    void SetPeerName(const char* name) override { m_session.SetPeerName(name); }

    CVQDecodeVS* Session() { return &m_session; }

private:
    CVQDecodeVS m_session;
};
