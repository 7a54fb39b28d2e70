#pragma once
#include <cstddef>
#include <vector>

// Splits one received datagram into messages, in place: line ends become zero
// bytes, so every text line can be read as a C string. A message is a run of
// non-empty lines ended by an empty line. A "FRAME" message's sixth line gives
// the length of the binary payload that follows it; the payload becomes the
// message's seventh line (not zero-terminated: use GetLineLength).
class CVKDatagramParser {
public:
    CVKDatagramParser(unsigned char* data, size_t length);
    virtual ~CVKDatagramParser() {}

    int GetMessageCount() const { return static_cast<int>(m_messages.size()); }
    int GetLineCount(int message) const;
    // Out-of-range indexes give null (and length 0).
    const char* GetLine(int message, int line) const;
    int GetLineLength(int message, int line) const;

    // Backstops only: a datagram of at most 64 KiB stays below both.
    static constexpr int kMaxMessages = 65536;
    static constexpr int kMaxLines = 65536;

private:
    struct Line {
        const char* text;
        int length;
    };
    std::vector<std::vector<Line>> m_messages;
};
