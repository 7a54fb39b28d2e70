#include "CVQDiReader.h"

#include <cstring>

CVQDiReader::CVQDiReader() : m_file(nullptr) {}

CVQDiReader::~CVQDiReader() { Close(); }

int CVQDiReader::Open(const char* path) {
    Close();
    if (!path || !*path) return 0;
    m_path = path;
    m_file = fopen(path, "rb");
    return m_file ? 1 : 0;
}

void CVQDiReader::Close() {
    if (m_file) fclose(m_file);
    m_file = nullptr;
}

int CVQDiReader::Rewind() {
    const std::string path = m_path;
    return Open(path.c_str());
}

int32_t CVQDiReader::ParseTime(const char* text) {
    const char* p = text;
    const bool negative = *p == '-';
    if (negative) ++p;
    if (!*p) return 0;
    int64_t value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9') return 0;
        if (value <= INT32_MAX) value = value * 10 + (*p - '0');
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int CVQDiReader::Next(VQDiEntry* entry) {
    if (!m_file || !entry) return 0;
    char fields[3][kFieldMax + 1];
    int field = 0;
    int length = 0;
    bool quoted = false;
    int c;
    while ((c = fgetc(m_file)) != EOF) {
        if (!quoted) {
            if (c == '"') {
                quoted = true;
                length = 0;
            }
            continue;
        }
        if (c != '"') {
            if (length < kFieldMax) fields[field][length++] = static_cast<char>(c);
            continue;
        }
        quoted = false;
        fields[field][length] = 0;
        if (++field < 3) continue;
        entry->time = ParseTime(fields[0]);
        entry->release = strcmp(fields[1], "1") == 0 ? 1 : 0;
        memcpy(entry->name, fields[2], sizeof entry->name);
        entry->name[sizeof entry->name - 1] = 0;
        return 1;
    }
    return 0;
}
