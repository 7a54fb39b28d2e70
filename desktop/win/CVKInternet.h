#pragma once
#include <windows.h>
#include <wininet.h>

#include <string>

// The desktop's download object: fetches one address at a time on its own
// worker thread (WinINet for "http://", the disk for "file://" and for
// addresses without a scheme) and keeps the whole body in memory.
class CVKInternet {
public:
    enum State { kOpening = 1, kReading = 2, kMore = 3, kDone = 16 };

    CVKInternet();
    ~CVKInternet();
    CVKInternet(const CVKInternet&) = delete;
    CVKInternet& operator=(const CVKInternet&) = delete;

    void AddRef();
    void Release();

    // Stops a transfer in progress, starts fetching address and, unless
    // noWait, blocks until the body has arrived or the fetch failed.
    void Open(const std::string& address, bool noWait = false);
    // Blocks until the current fetch is done (or the timeout passed).
    bool Wait(DWORD timeoutMs);
    // 0 on success; a system error code, or -1.
    long Failed();
    std::string Data();
    size_t Length();
    // The HTTP status of the reply (0 for files and before an answer).
    int StatusCode();
    // The length the server announced (Content-Length), -1 without one.
    long long ContentLength();
    // kOpening, kReading, kMore or kDone.
    int State();
    // Largest body kept; a longer one fails with -1.
    void SetLimit(size_t limit);

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    void Start(unsigned generation);
    void Read(unsigned generation);
    void Finish(unsigned generation, long error);
    void CloseHandles();
    bool Current(unsigned generation);

    CRITICAL_SECTION m_lock;
    HANDLE m_done;
    HANDLE m_ready;
    HANDLE m_thread;
    DWORD m_threadId;
    LONG m_refs;
    // Guarded by m_lock.
    std::string m_address;
    int m_state;
    long m_error;
    long long m_contentLength;
    std::string m_body;
    size_t m_limit;
    int m_status;
    unsigned m_generation;
    // Worker thread only.
    HINTERNET m_session;
    HINTERNET m_request;
    HANDLE m_file;
};
