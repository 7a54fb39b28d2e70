#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "CVKPtrList.h"
#include "CVKString.h"
#include "IVKClock.h"
#include "IVKStreamSocket.h"

// A minimal HTTP/1.1 client: one request at a time, the whole response
// collected in memory. Never blocks: the owner calls Pump every frame and
// polls GetStatusCode (negative while nothing is ready).
class CVKHttp {
public:
    // socket (owned) and clock may be null: a Winsock CVKSocket (Windows
    // builds) and the system clock are taken.
    explicit CVKHttp(IVKStreamSocket* socket = nullptr, IVKClock* clock = nullptr);
    CVKHttp(const CVKHttp&) = delete;
    CVKHttp& operator=(const CVKHttp&) = delete;
    virtual ~CVKHttp();

    virtual void Close();
    // The host may carry a port ("host:8080"); without one the web server
    // port setting applies.
    virtual void SetHost(const CVKString& host);
    virtual void SetPath(const CVKString& path);
    // "http://host/path?query"; changes nothing unless both parts are there.
    virtual void SetUrl(const CVKString& url);
    virtual void SetMethod(const CVKString& method);
    virtual void AddHeader(const CVKString& line);
    virtual void SetBody(const void* bytes, int count);
    // Queues the request; 0 (and nothing queued) when the host, path, method
    // or a header would break the request's lines.
    virtual int Send();
    virtual int IsIdle();
    virtual void ClearRequest();
    virtual void Pump();
    virtual void ClearResponse();
    virtual int GetResponseBody(const unsigned char** bytes, int* count);
    virtual int GetStatusCode();

    const CVKString& GetHost() const { return m_host; }
    const CVKString& GetPath() const { return m_path; }
    int GetOutstanding() const { return m_outstanding; }
    // Header lines of the ready response (the status line first).
    const std::vector<std::string>& GetResponseHeaders() const { return m_lines; }
    IVKStreamSocket* Socket() { return m_socket; }

    static constexpr int kMaxHeaderBytes = 64 * 1024;
    static constexpr int64_t kMaxBodyBytes = 16 * 1024 * 1024;
    // Connections opened for one request before it is given up, and the
    // least time between two of them.
    static constexpr int kMaxConnectAttempts = 3;
    static constexpr int kRetryDelayMs = 1000;

private:
    std::string BuildRequest() const;
    void ResetParse();
    void Garbage(const char* why);
    void TakeApart();
    void Finish(size_t end);

    IVKStreamSocket* m_socket;
    IVKClock* m_clock;
    CVKString m_host;
    CVKString m_connectedHost;
    CVKString m_path;
    std::vector<std::string> m_headers;
    std::string m_body;
    CVKString m_method;
    int m_busy;
    int m_outstanding;
    int m_ready;
    std::vector<std::string> m_lines;
    std::string m_responseBody;
    std::string m_raw;
    // Request state.
    unsigned short m_port;
    int m_attempts;
    int64_t m_lastAttemptMs;
    // Parse state over m_raw, so every byte is looked at once.
    size_t m_scan;
    std::string m_line;
    bool m_headerDone;
    size_t m_headerEnd;
    int64_t m_contentLength;
};
