#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

// Records the player's key presses and mouse-button clicks beside a
// recording, as one comma-separated list of quoted triples without header,
// line breaks or terminator:  "time","release","name",...
//   time     milliseconds since the start of the recording
//   release  1 when the key or button went up, 0 when it went down
//   name     "ml", "mr", "mm" for the mouse buttons; "e" (extended key) or
//            "c" followed by the key's decimal scan code
// Events are buffered and written 4096 at a time and on Close. Input may
// arrive on another thread than the one that opens and closes the recorder,
// so DeviceInput, Open and Close are serialised.
class CVQRecordDI {
public:
    static const int kCapacity = 4096;

    CVQRecordDI();
    virtual ~CVQRecordDI();
    CVQRecordDI(const CVQRecordDI&) = delete;
    CVQRecordDI& operator=(const CVQRecordDI&) = delete;

    // Closes first. With a path, creates (truncates) the file; 0 when it
    // cannot, leaving the recorder closed. Without a path the recorder opens
    // without a file (events are then dropped 4096 at a time).
    virtual int Open(const char* path);
    // Writes the pending entries and closes the file; 1, or 0 when the file
    // reported an error or there is no file (opened without one, or closed).
    virtual int Close();
    // message: WM_KEYDOWN/UP (code = virtual key, flags = lParam) or a mouse
    // button message; other messages are ignored.
    virtual void DeviceInput(unsigned message, uintptr_t code, uintptr_t flags, int32_t time);

    int IsOpen() const { return m_open; }
    int GetCount() const { return m_count; }
    // The pending entries in the file's format (quoted triples joined by
    // ","), handed to the caller and forgotten; 0 entries give "" (a live
    // share sends them instead of writing them).
    std::string TakeEntries();

private:
    int WriteOut();

    char m_path[260];
    int m_open;
    FILE* m_file;
    char m_names[kCapacity][9];  // at most 8 characters each
    int32_t m_times[kCapacity];
    uint8_t m_releases[kCapacity];
    int m_count;
    int m_firstWrite;
    std::mutex m_lock;
};
