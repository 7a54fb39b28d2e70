#pragma once
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <vector>

// Allocator of the packets handed out by the cache. The engine installs the
// codec library's allocator so decoders may keep or free the blocks; plain
// malloc/free until then.
typedef void* (*VQPacketAllocFn)(size_t size);
typedef void (*VQPacketFreeFn)(void* block);
void VQSetPacketAllocator(VQPacketAllocFn alloc, VQPacketFreeFn release);
void* VQPacketAlloc(size_t size);
void VQPacketFree(void* block);

// Puts packets received in pieces back together and hands them out oldest
// first (ordered by time stamp). At most "capacity" packets are held; a newer
// packet beyond that pushes the oldest out.
class CVQPacketCache {
public:
    CVQPacketCache();
    CVQPacketCache(const CVQPacketCache&) = delete;
    CVQPacketCache& operator=(const CVQPacketCache&) = delete;
    virtual ~CVQPacketCache();

    // Copies the piece. Pieces that do not fit their packet (offset + length
    // beyond the total, a different total for the same packet, an overlap or
    // a duplicate of a piece already held, one piece more than
    // kMaxPiecesPerPacket) are dropped. Returns 1 when kept.
    virtual int AddChunk(char kind, int offset, int total, int64_t timestamp, const void* data, int length);
    // 1 and the oldest packet when it is complete; the data comes from
    // VQPacketAlloc and the caller frees it with VQPacketFree.
    virtual int TakePacket(char* kind, int64_t* timestamp, unsigned char** data, int* size);
    virtual void SetCapacity(int capacity);
    virtual int GetCapacity() const { return m_capacity; }
    virtual void Clear();
    virtual void SkipIncomplete() { m_skipIncomplete = 1; }
    virtual int64_t PeekTimestamp() const;
    virtual void DropOldest();

    int GetPacketCount() const { return static_cast<int>(m_packets.size()); }
    int64_t GetHeldBytes() const { return m_heldBytes; }

    // Largest packet accepted, and the most payload bytes held at once.
    static constexpr int kMaxPacketSize = 8 * 1024 * 1024;
    static constexpr int64_t kMaxHeldBytes = 32 * 1024 * 1024;
    // Most pieces held for one packet. A sharer fills whole datagrams, so
    // even the largest packet comes in about 130 pieces; tiny pieces from a
    // hostile source cost bounded memory and time.
    static constexpr int kMaxPiecesPerPacket = 1024;

private:
    struct Packet {
        char kind;
        int64_t timestamp;
        int total;
        int64_t have;  // payload bytes held
        // Pieces by offset, never overlapping and all inside the total, so
        // the packet is complete exactly when have == total.
        std::map<int, std::vector<unsigned char>> chunks;
    };
    int InsertChunk(Packet* packet, int offset, const void* data, int length);

    int m_capacity;
    std::list<Packet> m_packets;
    int m_skipIncomplete;
    int64_t m_heldBytes;
};
