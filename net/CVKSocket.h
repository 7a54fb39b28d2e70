#pragma once
#include <cstdint>
#include <string>

#include "CVKString.h"
#include "IVKClock.h"
#include "IVKStreamSocket.h"

// TCP client socket over Winsock, non-blocking, pumped by its owner (Windows
// builds only). A connect that fails (refused, unreachable, timed out) is
// tried again at most kConnectAttempts times, kRetryDelayMs apart; after the
// last failure the socket shows neither connecting nor connected.
class CVKSocket : public IVKStreamSocket {
public:
    explicit CVKSocket(IVKClock* clock = nullptr);
    CVKSocket(const CVKSocket&) = delete;
    CVKSocket& operator=(const CVKSocket&) = delete;
    ~CVKSocket() override;

    int Create() override;
    CVKString GetErrorText() override;
    void Close() override;
    unsigned GetState() override { return m_state; }
    void Connect(const CVKString& host, unsigned short port) override;
    int Send(const void* bytes, int count) override;
    void Receive(unsigned char** bytes, int* count) override;
    int Pump() override;

    int GetLastError() const { return m_lastError; }

    static constexpr int kConnectAttempts = 3;
    static constexpr int kRetryDelayMs = 1000;

private:
    void RecordError(int error);
    void CheckFatal();
    void Lost();
    bool StartConnect();
    void ConnectFailed(int error);
    bool ReadAll();

    uintptr_t m_handle;  // SOCKET; kNone when closed
    int m_lastError;
    CVKString m_errorText;
    CVKString m_host;
    unsigned m_port;
    unsigned m_state;
    std::string m_send;
    std::string m_receive;
    IVKClock* m_clock;
    int m_attemptsLeft;
    int64_t m_retryAtMs;
    bool m_waitingRetry;
};
