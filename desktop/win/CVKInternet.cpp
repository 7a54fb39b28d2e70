#include "CVKInternet.h"

#include "VKLog.h"

namespace {
const UINT kMsgStart = WM_APP + 1;
const UINT kMsgRead = WM_APP + 2;
const UINT kMsgStop = WM_APP + 3;
const UINT kMsgQuit = WM_APP + 4;
const DWORD kTimeoutMs = 15000;
}  // namespace

CVKInternet::CVKInternet()
    : m_refs(1),
      m_state(kDone),
      m_error(0),
      m_contentLength(-1),
      m_limit(64u * 1024u * 1024u),
      m_status(0),
      m_generation(0),
      m_session(nullptr),
      m_request(nullptr),
      m_file(INVALID_HANDLE_VALUE) {
    InitializeCriticalSection(&m_lock);
    m_done = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    m_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, &m_threadId);
    if (m_thread) WaitForSingleObject(m_ready, INFINITE);
}

CVKInternet::~CVKInternet() {
    if (m_thread) {
        PostThreadMessageA(m_threadId, kMsgQuit, 0, 0);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    CloseHandle(m_done);
    CloseHandle(m_ready);
    DeleteCriticalSection(&m_lock);
}

void CVKInternet::AddRef() { InterlockedIncrement(&m_refs); }
void CVKInternet::Release() {
    if (InterlockedDecrement(&m_refs) == 0) delete this;
}

void CVKInternet::SetLimit(size_t limit) {
    EnterCriticalSection(&m_lock);
    m_limit = limit;
    LeaveCriticalSection(&m_lock);
}

void CVKInternet::Open(const std::string& address, bool noWait) {
    EnterCriticalSection(&m_lock);
    // A new generation makes the worker drop whatever it was still doing.
    unsigned generation = ++m_generation;
    m_address = address;
    m_state = kOpening;
    m_error = 0;
    m_contentLength = -1;
    m_status = 0;
    m_body.clear();
    ResetEvent(m_done);
    LeaveCriticalSection(&m_lock);
    if (!m_thread || !PostThreadMessageA(m_threadId, kMsgStart, generation, 0)) {
        Finish(generation, -1);
        return;
    }
    if (!noWait) Wait(INFINITE);
}

bool CVKInternet::Wait(DWORD timeoutMs) { return WaitForSingleObject(m_done, timeoutMs) == WAIT_OBJECT_0; }

long CVKInternet::Failed() {
    EnterCriticalSection(&m_lock);
    long e = m_error;
    LeaveCriticalSection(&m_lock);
    return e;
}

std::string CVKInternet::Data() {
    EnterCriticalSection(&m_lock);
    std::string d = m_body;
    LeaveCriticalSection(&m_lock);
    return d;
}

size_t CVKInternet::Length() {
    EnterCriticalSection(&m_lock);
    size_t n = m_body.size();
    LeaveCriticalSection(&m_lock);
    return n;
}

int CVKInternet::StatusCode() {
    EnterCriticalSection(&m_lock);
    int s = m_status;
    LeaveCriticalSection(&m_lock);
    return s;
}

long long CVKInternet::ContentLength() {
    EnterCriticalSection(&m_lock);
    long long n = m_contentLength;
    LeaveCriticalSection(&m_lock);
    return n;
}

int CVKInternet::State() {
    EnterCriticalSection(&m_lock);
    int s = m_state;
    LeaveCriticalSection(&m_lock);
    return s;
}

DWORD WINAPI CVKInternet::ThreadMain(void* self) {
    static_cast<CVKInternet*>(self)->Run();
    return 0;
}

void CVKInternet::Run() {
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes this thread's queue
    SetEvent(m_ready);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        unsigned generation = static_cast<unsigned>(msg.wParam);
        if (msg.message == kMsgStart) {
            Start(generation);
        } else if (msg.message == kMsgRead) {
            Read(generation);
        } else if (msg.message == kMsgStop) {
            CloseHandles();
        } else if (msg.message == kMsgQuit) {
            break;
        }
    }
    CloseHandles();
}

bool CVKInternet::Current(unsigned generation) {
    EnterCriticalSection(&m_lock);
    bool current = generation == m_generation;
    LeaveCriticalSection(&m_lock);
    return current;
}

void CVKInternet::CloseHandles() {
    if (m_request) InternetCloseHandle(m_request);
    if (m_session) InternetCloseHandle(m_session);
    m_request = m_session = nullptr;
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
}

void CVKInternet::Finish(unsigned generation, long error) {
    CloseHandles();
    EnterCriticalSection(&m_lock);
    if (generation == m_generation) {
        m_error = error;
        m_state = kDone;
        SetEvent(m_done);
    }
    LeaveCriticalSection(&m_lock);
}

void CVKInternet::Start(unsigned generation) {
    CloseHandles();
    if (!Current(generation)) return;
    EnterCriticalSection(&m_lock);
    std::string address = m_address;
    LeaveCriticalSection(&m_lock);

    bool http = address.compare(0, 7, "http://") == 0 || address.compare(0, 8, "https://") == 0;
    if (!http) {
        std::string path = address.compare(0, 7, "file://") == 0 ? address.substr(7) : address;
        m_file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
        if (m_file == INVALID_HANDLE_VALUE) {
            Finish(generation, static_cast<long>(GetLastError()));
            return;
        }
    } else {
        m_session = InternetOpenA("BRINMOOR Player", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!m_session) {
            Finish(generation, static_cast<long>(GetLastError()));
            return;
        }
        DWORD timeout = kTimeoutMs;
        InternetSetOptionA(m_session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
        InternetSetOptionA(m_session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
        InternetSetOptionA(m_session, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
        m_request =
            InternetOpenUrlA(m_session, address.c_str(), nullptr, 0,
                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0);
        if (!m_request) {
            long e = static_cast<long>(GetLastError());
            LogMessage("CVKInternet::Start(): Failed to open %s (%ld)\r\n", address.c_str(), e);
            Finish(generation, e);
            return;
        }
        DWORD status = 0, size = sizeof status;
        HttpQueryInfoA(m_request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
        char length[32] = {0};
        DWORD lsize = sizeof length - 1;
        long long contentLength = -1;
        if (HttpQueryInfoA(m_request, HTTP_QUERY_CONTENT_LENGTH, length, &lsize, nullptr))
            contentLength = _atoi64(length);
        EnterCriticalSection(&m_lock);
        m_status = static_cast<int>(status);
        m_contentLength = contentLength;
        LeaveCriticalSection(&m_lock);
    }
    EnterCriticalSection(&m_lock);
    m_state = kReading;
    LeaveCriticalSection(&m_lock);
    PostThreadMessageA(m_threadId, kMsgRead, generation, 0);
}

void CVKInternet::Read(unsigned generation) {
    // A newer Open took over: its start message closes these handles.
    if (!Current(generation)) return;
    char block[8192];
    DWORD n = 0;
    BOOL ok;
    if (m_file != INVALID_HANDLE_VALUE) {
        ok = ::ReadFile(m_file, block, sizeof block, &n, nullptr);
    } else if (m_request) {
        ok = InternetReadFile(m_request, block, 2048, &n);
    } else {
        return;
    }
    if (!ok) {
        Finish(generation, static_cast<long>(GetLastError()));
        return;
    }
    if (n == 0) {
        Finish(generation, 0);
        return;
    }
    EnterCriticalSection(&m_lock);
    bool tooLong = m_body.size() + n > m_limit;
    if (!tooLong) m_body.append(block, n);
    m_state = kMore;
    LeaveCriticalSection(&m_lock);
    if (tooLong) {
        LogMessage("CVKInternet::Read(): The body is longer than the limit\r\n");
        Finish(generation, -1);
        return;
    }
    PostThreadMessageA(m_threadId, kMsgRead, generation, 0);
}
