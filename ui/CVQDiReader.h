#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// One event of a device-input (.di) file.
struct VQDiEntry {
    int32_t time;  // milliseconds since the start of the recording
    int release;   // 1 key or button went up, 0 went down
    char name[16];
};

// Reads a .di file (comma-separated quoted triples "time","release","name"
// without header or line breaks) one character at a time through a buffered
// stream. Every field is cut at kFieldMax characters, so an over-long or
// hostile file never overruns an entry; text outside quotes is skipped.
class CVQDiReader {
public:
    static const int kFieldMax = 15;

    CVQDiReader();
    ~CVQDiReader();
    CVQDiReader(const CVQDiReader&) = delete;
    CVQDiReader& operator=(const CVQDiReader&) = delete;

    // 1 when the file could be opened for reading.
    int Open(const char* path);
    void Close();
    // Opens the same file again, so reading starts at the first event.
    int Rewind();
    int IsOpen() const { return m_file != nullptr; }
    // The next whole entry; 0 at the end of the file (a last entry cut off
    // in the middle is not given).
    int Next(VQDiEntry* entry);

    // A time field's value: an optional minus and decimal digits, held to
    // the 32-bit range; anything else gives 0.
    static int32_t ParseTime(const char* text);

private:
    FILE* m_file;
    std::string m_path;
};
