#pragma once
#include <cstdint>
#include <mutex>
#include <string>

#include "CVKPtrList.h"
#include "CVKString.h"
#include "IVKClock.h"
#include "IVKDatagramSocket.h"

class CVKDatagramParser;

// The client side of the video-sharing server over UDP: login with retries,
// the session prefix of every datagram, keep-alive echoes, the viewers list
// and the dispatch of received messages. Driven by Update once per frame.
// Every public operation holds the client's lock, so a worker thread may
// append packets while the render thread updates the client.
class CVQVSClient {
public:
    // socket (owned) and clock may be null: a Winsock CVKUdpSocket (Windows
    // builds) and the system clock are taken.
    CVQVSClient(IVKDatagramSocket* socket, IVKClock* clock);
    CVQVSClient(const CVQVSClient&) = delete;
    CVQVSClient& operator=(const CVQVSClient&) = delete;
    virtual ~CVQVSClient();

    virtual int Open();
    virtual void Close();
    virtual int Update();
    virtual int IsOpen() { return m_open; }
    // 1 when the login went out; 0 when it was refused (already active, not
    // open, an empty user or password, or a field with a line break).
    virtual int Login(const char* user, const char* password) = 0;
    virtual void Logout();
    virtual void SetServer(const char* host, int port);
    virtual CVKString GetServerHost() { return m_serverHost; }
    virtual int GetServerPort() { return m_serverPort; }
    virtual int GetSession() {
        Guard guard(m_lock);
        return m_session;
    }
    virtual int IsLoggedIn() {
        Guard guard(m_lock);
        return m_loggedIn;
    }
    virtual void SetWidth(int v) { m_width = v; }
    virtual void SetHeight(int v) { m_height = v; }
    virtual void SetFrameRate(int v) { m_frameRate = v; }
    virtual void SetChannels(int v) { m_channels = v; }
    virtual void SetSamplesPerSec(int v) { m_samplesPerSec = v; }
    virtual void SetBitsPerSample(int v) { m_bitsPerSample = v; }
    virtual int GetWidth() { return m_width; }
    virtual int GetHeight() { return m_height; }
    virtual int GetFrameRate() { return m_frameRate; }
    virtual int GetChannels() { return m_channels; }
    virtual int GetSamplesPerSec() { return m_samplesPerSec; }
    virtual int GetBitsPerSample() { return m_bitsPerSample; }
    // The stream's parameters in one read under the lock, for a thread other
    // than the one that updates the client.
    struct StreamFormat {
        int width, height, frameRate, channels, samplesPerSec, bitsPerSample;
    };
    virtual StreamFormat GetStreamFormat() {
        Guard guard(m_lock);
        return StreamFormat{m_width, m_height, m_frameRate, m_channels, m_samplesPerSec, m_bitsPerSample};
    }
    virtual void SetGameNumber(const char* number) { m_gameNumber.Set(number); }
    virtual CVKString GetGameNumber() { return m_gameNumber; }
    virtual int IsSendQueueEmpty() { return m_socket && m_socket->IsSendQueueEmpty() ? 1 : 0; }
    virtual int IsActive() { return m_loggedIn || m_loginAttemptsLeft > 0; }

    const CVKString& GetErrorText() const { return m_errorText; }
    int GetUnansweredEchoes() const { return m_unansweredEchoes; }
    int GetEchoesOwed() const { return m_echoesOwed; }
    IVKDatagramSocket* Socket() { return m_socket; }

    // Datagrams taken from the socket per Update: a flood cannot stall a frame.
    static constexpr int kMaxDatagramsPerUpdate = kVKUdpMaxPerPump;
    // "FRAME" messages handled per Update: once this many were seen, the
    // datagrams still queued wait for the next Update. A datagram full of
    // tiny pieces costs a bounded share of a frame.
    static constexpr int kMaxFramesPerUpdate = 4096;
    // Largest picture side accepted from a "LOGIN OK".
    static constexpr int kMaxPictureSide = 8192;

protected:
    typedef std::lock_guard<std::recursive_mutex> Guard;
    std::recursive_mutex m_lock;

    virtual void ProcessIncoming();
    virtual void FlushOutgoing();
    virtual void StartDatagram();
    virtual void SendControl();
    virtual void BuildSessionPrefix();
    virtual void Append(const void* bytes, size_t length);
    void Append(const std::string& text) { Append(text.data(), text.size()); }
    virtual void ClearViewers();
    virtual void ResetSession();
    virtual void OnFrame(const CVKDatagramParser& parser, int message) = 0;
    virtual void OnLoginOk(const CVKDatagramParser& parser, int message);

    // Shared by both logins: checks the fields and sends text at once as a
    // datagram of its own.
    int SendLogin(const char* user, const char* password, const std::string& tail);
    void SendDirect(const std::string& text);
    static int NextNonce();

    int m_open;
    IVKDatagramSocket* m_socket;
    IVKClock* m_clock;
    CVKString m_serverHost;
    uint32_t m_serverAddress;
    int m_serverPort;
    int m_session;
    CVKString m_gameNumber;
    int m_echoesOwed;
    int m_logoutRequested;
    int m_loggedIn;
    int m_loginAttemptsLeft;
    int64_t m_lastLoginTime;
    std::string m_loginText;
    CVKString m_errorText;
    CVKPtrList m_viewers;  // CVKString*
    int64_t m_lastHeard;
    int m_unansweredEchoes;
    std::string m_outgoing;
    std::string m_sessionPrefix;
    int m_width, m_height, m_frameRate, m_channels, m_samplesPerSec, m_bitsPerSample;
};

// The sharing side: "SHARE" login, packets in "FRAME" messages, the viewers.
class CVQShareVS : public CVQVSClient {
public:
    explicit CVQShareVS(IVKDatagramSocket* socket = nullptr, IVKClock* clock = nullptr);
    ~CVQShareVS() override;

    int Login(const char* user, const char* password) override;
    virtual void AddOption(const CVKString& option);
    virtual void ClearOptions();
    // flags bit 0 marks a key packet; time stamps in milliseconds.
    virtual int SendVideoPacket(const unsigned char* data, int size, int flags, int64_t timestamp);
    virtual int SendAudioPacket(const unsigned char* data, int size, int flags, int64_t timestamp);
    virtual int SendOtherPacket(const unsigned char* data, int size, int flags, int64_t timestamp);
    virtual void RequestViewers();
    virtual CVKPtrList* GetViewers() { return &m_viewers; }
    virtual void RefreshSession();
    // kind: 0 video, 1 audio, 2 other. 1 when the whole packet was queued.
    virtual int SendPacket(const unsigned char* data, int size, int flags, int64_t timestamp, int kind);

protected:
    void OnFrame(const CVKDatagramParser&, int) override {}

private:
    CVKPtrList m_options;  // CVKString*
};

#include "CVQPacketCache.h"

// The viewing side: "VIEW" login, "FRAME" pieces into a packet cache.
class CVQViewVS : public CVQVSClient {
public:
    explicit CVQViewVS(IVKDatagramSocket* socket = nullptr, IVKClock* clock = nullptr);
    ~CVQViewVS() override;

    int Update() override;
    void Close() override;
    int Login(const char* user, const char* password) override;
    virtual void SetViewSession(int session) { m_viewSession = session; }
    // 1 and the next packet of that kind; the caller frees the data with
    // VQPacketFree.
    virtual int TakeAudioPacket(unsigned char** data, int* length, int64_t* timestamp);
    virtual int TakeVideoPacket(unsigned char** data, int* length, int64_t* timestamp);

    CVQPacketCache* GetCache() { return &m_cache; }

protected:
    void OnFrame(const CVKDatagramParser& parser, int message) override;

private:
    int TakePacket(bool audio, unsigned char** data, int* length, int64_t* timestamp);
    void FreeCurrent();

    CVQPacketCache m_cache;
    int m_viewSession;
    char m_currentKind;
    int64_t m_currentTimestamp;
    unsigned char* m_currentData;
    int m_currentLength;
};
