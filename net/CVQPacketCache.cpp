#include "CVQPacketCache.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {
VQPacketAllocFn g_alloc = nullptr;
VQPacketFreeFn g_free = nullptr;
}  // namespace

void VQSetPacketAllocator(VQPacketAllocFn alloc, VQPacketFreeFn release) {
    g_alloc = alloc;
    g_free = release;
}

void* VQPacketAlloc(size_t size) { return g_alloc ? g_alloc(size) : malloc(size ? size : 1); }

void VQPacketFree(void* block) {
    if (g_free)
        g_free(block);
    else
        free(block);
}

CVQPacketCache::CVQPacketCache() : m_capacity(2), m_skipIncomplete(0), m_heldBytes(0) {}

CVQPacketCache::~CVQPacketCache() { Clear(); }

void CVQPacketCache::SetCapacity(int capacity) {
    m_capacity = capacity;
    while (m_capacity >= 0 && static_cast<int>(m_packets.size()) > m_capacity) DropOldest();
}

void CVQPacketCache::Clear() {
    m_packets.clear();
    m_heldBytes = 0;
}

int64_t CVQPacketCache::PeekTimestamp() const { return m_packets.empty() ? -1 : m_packets.front().timestamp; }

void CVQPacketCache::DropOldest() {
    if (m_packets.empty()) return;
    m_heldBytes -= m_packets.front().have;
    m_packets.pop_front();
}

int CVQPacketCache::InsertChunk(Packet* packet, int offset, const void* data, int length) {
    if (static_cast<int>(packet->chunks.size()) >= kMaxPiecesPerPacket) return 0;
    int64_t end = static_cast<int64_t>(offset) + length;
    // The first held piece that starts after the new one.
    auto next = packet->chunks.upper_bound(offset);
    if (next != packet->chunks.end() && next->first < end) return 0;  // overlaps the next piece
    if (next != packet->chunks.begin()) {
        auto prev = std::prev(next);
        // A duplicate, or a piece starting inside the previous one.
        if (static_cast<int64_t>(prev->first) + static_cast<int64_t>(prev->second.size()) > offset) return 0;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    packet->chunks.emplace_hint(next, offset, std::vector<unsigned char>(bytes, bytes + length));
    packet->have += length;
    m_heldBytes += length;
    return 1;
}

int CVQPacketCache::AddChunk(char kind, int offset, int total, int64_t timestamp, const void* data, int length) {
    if (m_capacity <= 0) return 0;
    m_skipIncomplete = 0;
    if (!data || length <= 0 || offset < 0 || total < 1 || total > kMaxPacketSize ||
        static_cast<int64_t>(offset) + length > total)
        return 0;
    auto at = m_packets.begin();
    for (; at != m_packets.end(); ++at) {
        if (at->timestamp > timestamp) break;
        if (at->timestamp == timestamp && at->kind == kind) {
            if (at->total != total) return 0;
            if (m_heldBytes + length > kMaxHeldBytes && at != m_packets.begin()) {
                DropOldest();
            }
            return InsertChunk(&*at, offset, data, length);
        }
    }
    bool full = static_cast<int>(m_packets.size()) >= m_capacity;
    if (full && at == m_packets.begin()) return 0;  // older than everything held
    Packet packet;
    packet.kind = kind;
    packet.timestamp = timestamp;
    packet.total = total;
    packet.have = 0;
    auto inserted = m_packets.insert(at, std::move(packet));
    int kept = InsertChunk(&*inserted, offset, data, length);
    while (static_cast<int>(m_packets.size()) > m_capacity || (m_heldBytes > kMaxHeldBytes && m_packets.size() > 1)) {
        bool dropsNew = &m_packets.front() == &*inserted;
        DropOldest();
        if (dropsNew) return 0;
    }
    return kept;
}

int CVQPacketCache::TakePacket(char* kind, int64_t* timestamp, unsigned char** data, int* size) {
    while (!m_packets.empty()) {
        Packet& packet = m_packets.front();
        if (packet.have != packet.total) {
            if (!m_skipIncomplete) return 0;
            DropOldest();
            continue;
        }
        unsigned char* block = static_cast<unsigned char*>(VQPacketAlloc(static_cast<size_t>(packet.total)));
        if (!block) return 0;
        unsigned char* out = block;
        for (const auto& c : packet.chunks) {
            memcpy(out, c.second.data(), c.second.size());
            out += c.second.size();
        }
        if (kind) *kind = packet.kind;
        if (timestamp) *timestamp = packet.timestamp;
        if (data)
            *data = block;
        else
            VQPacketFree(block);
        if (size) *size = packet.total;
        DropOldest();
        return 1;
    }
    return 0;
}
