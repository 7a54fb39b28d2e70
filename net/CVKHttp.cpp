#include "CVKHttp.h"

#include <cstdio>
#include <cstring>

#include "VKLog.h"
#include "VKNetEndpoints.h"
#include "VKNetText.h"
#ifdef _WIN32
#include "CVKSocket.h"
#endif

namespace {
bool g_loggedNonAscii = false;  // the log line about such bytes comes once per process

// Splits "name:port"; false when a port is given but not valid.
bool SplitHost(const char* host, std::string* name, unsigned short* port) {
    const char* colon = strchr(host, ':');
    if (!colon) {
        name->assign(host);
        *port = VKWebServerPort();
        return true;
    }
    name->assign(host, static_cast<size_t>(colon - host));
    *port = VKParsePort(colon + 1, 0);
    return *port != 0 && !name->empty();
}
}  // namespace

CVKHttp::CVKHttp(IVKStreamSocket* socket, IVKClock* clock)
    : m_socket(socket),
      m_clock(clock ? clock : VKSystemClock()),
      m_method("GET"),
      m_busy(0),
      m_outstanding(0),
      m_ready(0),
      m_port(80),
      m_attempts(0),
      m_lastAttemptMs(0) {
#ifdef _WIN32
    if (!m_socket) m_socket = new CVKSocket;
#endif
    ResetParse();
}

CVKHttp::~CVKHttp() {
    Close();
    delete m_socket;
}

void CVKHttp::ResetParse() {
    m_scan = 0;
    m_line.clear();
    m_headerDone = false;
    m_headerEnd = 0;
    m_contentLength = -1;
    if (!m_ready) m_lines.clear();
}

void CVKHttp::Close() {
    if (m_socket) m_socket->Close();
    ClearRequest();
    m_lines.clear();
    m_responseBody.clear();
    m_raw.clear();
    m_ready = 0;
    m_busy = 0;
    m_outstanding = 0;
    m_connectedHost.Set("");
    ResetParse();
}

void CVKHttp::SetHost(const CVKString& host) { m_host = host; }
void CVKHttp::SetPath(const CVKString& path) { m_path = path; }
void CVKHttp::SetMethod(const CVKString& method) { m_method = method; }

void CVKHttp::SetUrl(const CVKString& url) {
    const char* text = url.Str();
    if (strncmp(text, "http://", 7) != 0) return;
    const char* host = text + 7;
    const char* slash = strchr(host, '/');
    if (!slash || slash == host) return;
    size_t pathLen = strcspn(slash, " \t\r\n\v\f");
    std::string h(host, static_cast<size_t>(slash - host));
    std::string p(slash, pathLen);
    SetHost(CVKString(h.c_str()));
    SetPath(CVKString(p.c_str()));
}

void CVKHttp::AddHeader(const CVKString& line) { m_headers.push_back(line.Str()); }

void CVKHttp::SetBody(const void* bytes, int count) {
    if (bytes && count > 0)
        m_body.assign(static_cast<const char*>(bytes), static_cast<size_t>(count));
    else
        m_body.clear();
}

void CVKHttp::ClearRequest() {
    m_headers.clear();
    m_body.clear();
}

std::string CVKHttp::BuildRequest() const {
    std::string r = m_method.Str();
    r += " ";
    r += m_path.Str();
    r += " HTTP/1.1\r\nHost: ";
    r += m_host.Str();
    r += "\r\n";
    for (const std::string& h : m_headers) r += h + "\r\n";
    char length[48];
    snprintf(length, sizeof length, "Content-Length: %i\r\n\r\n", static_cast<int>(m_body.size()));
    r += length;
    r += m_body;
    return r;
}

int CVKHttp::Send() {
    std::string name;
    unsigned short port = 0;
    bool ok = VKIsLineField(m_host.Get()) && VKIsLineField(m_method.Get()) && m_path.Str()[0] == '/' &&
              VKIsLineText(m_path.Get()) && !strpbrk(m_path.Str(), " \t") && !strpbrk(m_method.Str(), " \t") &&
              !strpbrk(m_host.Str(), " \t/") && SplitHost(m_host.Str(), &name, &port);
    for (const std::string& h : m_headers) ok = ok && VKIsLineField(h.c_str());
    if (!ok || m_body.size() > static_cast<size_t>(kMaxBodyBytes)) {
        LogMessage("CVKHttp::Send(): Refused a request with an empty or multi-line field\r\n");
        return 0;
    }
    if (!m_busy) m_attempts = 0;
    m_port = port;
    m_busy = 1;
    m_outstanding++;
    if (m_socket) {
        std::string request = BuildRequest();
        m_socket->Send(request.data(), static_cast<int>(request.size()));
    }
    return 1;
}

int CVKHttp::IsIdle() { return m_busy ? 0 : 1; }

void CVKHttp::Garbage(const char* why) {
    LogMessage("CVKHttp::Pump(): %s\r\n", why);
    m_raw.clear();
    if (!m_ready) m_lines.clear();
    ResetParse();
    m_busy = 0;
    m_outstanding = 0;
    // The connection's later bytes belong to nothing we asked for.
    if (m_socket) m_socket->Close();
    m_connectedHost.Set("");
}

void CVKHttp::Pump() {
    if (!m_socket) return;
    unsigned state = m_socket->GetState();
    bool open = (state & (VKSOCK_CONNECTED | VKSOCK_CONNECTING)) != 0;
    if (!(open && m_host.Equals(m_connectedHost.Get())) && m_busy) {
        int64_t now = m_clock->Millis();
        if (m_attempts >= kMaxConnectAttempts) {
            LogMessage("CVKHttp::Pump(): No response from %s, request given up\r\n", m_host.Str());
            m_busy = 0;
            m_outstanding = 0;
            m_raw.clear();
            ResetParse();
            m_socket->Close();
            m_connectedHost.Set("");
            return;
        }
        if (m_attempts > 0 && now - m_lastAttemptMs < kRetryDelayMs) return;
        std::string name;
        unsigned short port = m_port;
        SplitHost(m_host.Str(), &name, &port);
        m_socket->Create();
        m_socket->Connect(CVKString(name.c_str()), port);
        m_connectedHost = m_host;
        m_attempts++;
        m_lastAttemptMs = now;
        // Whatever came on an earlier connection is no part of this answer,
        // and only the current request goes out again.
        m_raw.clear();
        ResetParse();
        m_outstanding = 1;
        std::string request = BuildRequest();
        m_socket->Send(request.data(), static_cast<int>(request.size()));
    }
    m_socket->Pump();
    if (m_ready) return;
    // A closed or reset connection may still hold the end of the body.
    unsigned after = m_socket->GetState();
    if ((after & VKSOCK_DATA) || (m_busy && !(after & (VKSOCK_CONNECTED | VKSOCK_CONNECTING)))) {
        unsigned char* bytes = nullptr;
        int count = 0;
        m_socket->Receive(&bytes, &count);
        if (bytes && count > 0) m_raw.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
        free(bytes);
    }
    TakeApart();
}

void CVKHttp::Finish(size_t end) {
    m_responseBody.assign(m_raw, m_headerEnd, end - m_headerEnd);
    m_ready = 1;
    m_attempts = 0;
    m_outstanding--;
    if (m_outstanding <= 0) {
        m_outstanding = 0;
        m_busy = 0;
        // Nothing else was asked for: later bytes are not a response.
        m_raw.clear();
    } else {
        m_raw.erase(0, end);  // the next response, taken apart after ClearResponse
    }
    m_scan = 0;
    m_line.clear();
    m_headerDone = false;
    m_headerEnd = 0;
    m_contentLength = -1;
}

void CVKHttp::TakeApart() {
    if (m_ready) return;
    if (!m_busy && !m_raw.empty()) {
        // Bytes nobody asked for.
        m_raw.clear();
        ResetParse();
        return;
    }
    while (!m_headerDone && m_scan < m_raw.size()) {
        unsigned char c = static_cast<unsigned char>(m_raw[m_scan++]);
        if (c == '\r') continue;
        if (c == '\n') {
            if (m_line.empty()) {
                if (m_lines.empty()) continue;  // blank lines before the status line
                m_headerDone = true;
                m_headerEnd = m_scan;
                break;
            }
            if (m_lines.empty()) {
                int status = 0;
                if (sscanf(m_line.c_str(), "HTTP/1.%*i %i", &status) != 1) {
                    Garbage("Response without an HTTP/1.x status line dropped");
                    return;
                }
            }
            // "Content-Length: n" (either case of the L); the last one counts.
            if (m_line.size() > 16 && m_line.compare(0, 8, "Content-") == 0 && (m_line[8] == 'L' || m_line[8] == 'l') &&
                m_line.compare(9, 7, "ength: ") == 0) {
                const char* p = m_line.c_str() + 16;
                while (*p == ' ' || *p == '\t') ++p;
                if ((*p >= '0' && *p <= '9') || *p == '-' || *p == '+') {
                    int64_t length = VKParseInt64(p);
                    if (length < 0 || length > kMaxBodyBytes) {
                        Garbage("Response with an impossible Content-Length dropped");
                        return;
                    }
                    m_contentLength = length;
                }
            }
            m_lines.push_back(m_line);
            m_line.clear();
            continue;
        }
        if (c == 0 || c >= 0x80) {
            if (!g_loggedNonAscii) {
                g_loggedNonAscii = true;
                LogMessage("CVKHttp::extractResponse(): Non-ASCII characters in HTTP header: %i\n",
                           static_cast<int>(static_cast<signed char>(c)));
            }
            continue;
        }
        m_line.push_back(static_cast<char>(c));
        if (m_scan > static_cast<size_t>(kMaxHeaderBytes)) {
            Garbage("Response header too long dropped");
            return;
        }
    }
    if (!m_headerDone) {
        if (m_raw.size() > static_cast<size_t>(kMaxHeaderBytes)) Garbage("Response header too long dropped");
        return;
    }
    size_t have = m_raw.size() - m_headerEnd;
    if (m_contentLength < 0) {
        if (have > static_cast<size_t>(kMaxBodyBytes)) {
            Garbage("Response body too long dropped");
            return;
        }
        // The body runs to the end of the connection.
        if (m_socket && (m_socket->GetState() & (VKSOCK_CONNECTED | VKSOCK_CONNECTING))) return;
        Finish(m_raw.size());
        m_connectedHost.Set("");
        return;
    }
    if (static_cast<int64_t>(have) >= m_contentLength) Finish(m_headerEnd + static_cast<size_t>(m_contentLength));
}

void CVKHttp::ClearResponse() {
    m_ready = 0;
    m_responseBody.clear();
    m_lines.clear();
    // A response that arrived behind the one just taken is taken apart now.
    if (!m_raw.empty()) TakeApart();
}

int CVKHttp::GetResponseBody(const unsigned char** bytes, int* count) {
    if (!m_ready) return 0;
    if (bytes) *bytes = reinterpret_cast<const unsigned char*>(m_responseBody.data());
    if (count) *count = static_cast<int>(m_responseBody.size());
    return 1;
}

int CVKHttp::GetStatusCode() {
    if (!m_ready || m_lines.empty()) return -1;
    const char* line = m_lines[0].c_str();
    int status = 0;
    if (sscanf(line, "HTTP/1.%*[01] %i", &status) == 1) return status;
    return 0;  // another minor version: no plausible status
}
