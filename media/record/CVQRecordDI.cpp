#include "CVQRecordDI.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

#include "VKLog.h"

namespace {
const unsigned kKeyDown = 0x100, kKeyUp = 0x101;
const unsigned kLButtonDown = 0x201, kLButtonUp = 0x202;
const unsigned kRButtonDown = 0x204, kRButtonUp = 0x205;
const unsigned kMButtonDown = 0x207, kMButtonUp = 0x208;

unsigned ScanCodeOfKey(uintptr_t virtualKey) {
#ifdef _WIN32
    return MapVirtualKeyA(static_cast<UINT>(virtualKey), 0 /* MAPVK_VK_TO_VSC */);
#else
    return 0;
#endif
}
}  // namespace

CVQRecordDI::CVQRecordDI() : m_open(0), m_file(nullptr), m_count(0), m_firstWrite(1) { m_path[0] = 0; }

CVQRecordDI::~CVQRecordDI() { Close(); }

int CVQRecordDI::Open(const char* path) {
    Close();
    std::lock_guard<std::mutex> guard(m_lock);
    m_count = 0;
    if (path) {
        snprintf(m_path, sizeof m_path, "%s", path);
        m_file = fopen(m_path, "w");
        if (!m_file) return 0;
    }
    m_open = 1;
    m_firstWrite = 1;
    return 1;
}

int CVQRecordDI::Close() {
    std::lock_guard<std::mutex> guard(m_lock);
    // Without a file there is nowhere to write the entries: 0, as for a write error.
    int result = m_open ? WriteOut() : 0;
    if (m_file && fclose(m_file) != 0) result = 0;
    m_file = nullptr;
    m_count = 0;
    m_open = 0;
    return result;
}

int CVQRecordDI::WriteOut() {
    if (!m_file) return 0;
    for (int i = 0; i < m_count; i++) {
        if (!m_firstWrite || i > 0) fputc(',', m_file);
        fprintf(m_file, "\"%d\",\"%d\",\"%s\"", m_times[i], m_releases[i], m_names[i]);
    }
    if (m_count > 0) m_firstWrite = 0;
    m_count = 0;
    return ferror(m_file) ? 0 : 1;
}

std::string CVQRecordDI::TakeEntries() {
    std::lock_guard<std::mutex> guard(m_lock);
    std::string text;
    char entry[48];
    for (int i = 0; i < m_count; i++) {
        snprintf(entry, sizeof entry, "%s\"%d\",\"%d\",\"%s\"", i ? "," : "", m_times[i], m_releases[i], m_names[i]);
        text += entry;
    }
    m_count = 0;
    return text;
}

void CVQRecordDI::DeviceInput(unsigned message, uintptr_t code, uintptr_t flags, int32_t time) {
    char name[9];
    int release = 0;
    switch (message) {
    case kKeyDown:
    case kKeyUp: {
        unsigned scan = flags ? static_cast<unsigned>((flags >> 16) & 0xFF) : ScanCodeOfKey(code);
        snprintf(name, sizeof name, "%c%u", (flags >> 24) & 1 ? 'e' : 'c', scan);
        release = message == kKeyUp;
        break;
    }
    case kLButtonDown:
    case kLButtonUp:
        strcpy(name, "ml");
        release = message == kLButtonUp;
        break;
    case kRButtonDown:
    case kRButtonUp:
        strcpy(name, "mr");
        release = message == kRButtonUp;
        break;
    case kMButtonDown:
    case kMButtonUp:
        strcpy(name, "mm");
        release = message == kMButtonUp;
        break;
    default: return;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_open) return;
    memcpy(m_names[m_count], name, sizeof name);
    m_times[m_count] = time;
    m_releases[m_count] = static_cast<uint8_t>(release);
    if (++m_count < kCapacity) return;
    if (!m_file) {
        m_count = 0;
        LogMessage("CVQRecordDI::DeviceInput(): Lost device input!\r\n");
        return;
    }
    WriteOut();
}
