#include "CVKDatagramParser.h"

#include <cstring>

#include "VKNetText.h"

namespace {
// Length of the line end at p (CR, LF or CR LF), 0 when there is none.
size_t LineEnd(const unsigned char* p, const unsigned char* end) {
    if (p >= end) return 0;
    if (*p == '\n') return 1;
    if (*p == '\r') return (p + 1 < end && p[1] == '\n') ? 2 : 1;
    return 0;
}
}  // namespace

CVKDatagramParser::CVKDatagramParser(unsigned char* data, size_t length) {
    if (!data) return;
    unsigned char* p = data;
    unsigned char* end = data + length;
    std::vector<Line> current;
    while (p < end) {
        // One text line.
        unsigned char* start = p;
        while (p < end && *p != '\n' && *p != '\r') {
            if (*p >= 0x80) return;  // not a text line: stop, keep whole messages
            ++p;
        }
        if (p >= end) return;  // a line without its end
        size_t endLength = LineEnd(p, end);
        size_t lineLength = static_cast<size_t>(p - start);
        memset(p, 0, endLength);
        p += endLength;
        if (lineLength == 0) {
            if (static_cast<int>(m_messages.size()) >= kMaxMessages) return;
            m_messages.push_back(std::move(current));
            current.clear();
            continue;
        }
        if (static_cast<int>(current.size()) >= kMaxLines) return;
        current.push_back(Line{reinterpret_cast<const char*>(start), static_cast<int>(lineLength)});
        if (current.size() == 6 && strcmp(current[0].text, "FRAME") == 0) {
            int64_t payload = VKParseInt64(current[5].text);
            if (payload < 0 || payload > static_cast<int64_t>(end - p)) return;
            current.push_back(Line{reinterpret_cast<const char*>(p), static_cast<int>(payload)});
            p += payload;
            size_t after = LineEnd(p, end);
            if (after == 0 || p + after >= end) return;  // nothing follows the payload
            memset(p, 0, after);
            p += after;
        }
    }
}

int CVKDatagramParser::GetLineCount(int message) const {
    if (message < 0 || message >= GetMessageCount()) return 0;
    return static_cast<int>(m_messages[static_cast<size_t>(message)].size());
}

const char* CVKDatagramParser::GetLine(int message, int line) const {
    if (line < 0 || line >= GetLineCount(message)) return nullptr;
    return m_messages[static_cast<size_t>(message)][static_cast<size_t>(line)].text;
}

int CVKDatagramParser::GetLineLength(int message, int line) const {
    if (line < 0 || line >= GetLineCount(message)) return 0;
    return m_messages[static_cast<size_t>(message)][static_cast<size_t>(line)].length;
}
