#include <gtest/gtest.h>

#include <string>

#include "CVQPacketCache.h"

namespace {
std::string Take(CVQPacketCache& cache, int64_t* ts = nullptr, char* kind = nullptr) {
    unsigned char* data = nullptr;
    int size = 0;
    int64_t t = 0;
    char k = 0;
    if (!cache.TakePacket(&k, &t, &data, &size)) return "<none>";
    std::string s(reinterpret_cast<char*>(data), static_cast<size_t>(size));
    VQPacketFree(data);
    if (ts) *ts = t;
    if (kind) *kind = k;
    return s;
}

void Add(CVQPacketCache& c, int64_t ts, int offset, const std::string& piece, int total, char kind = 'v') {
    c.AddChunk(kind, offset, total, ts, piece.data(), static_cast<int>(piece.size()));
}
}  // namespace

TEST(CVQPacketCache, PiecesInAnyOrderAreJoined) {
    CVQPacketCache c;
    c.SetCapacity(10);
    Add(c, 1, 8, "ij", 10);
    Add(c, 1, 4, "efgh", 10);
    EXPECT_EQ("<none>", Take(c));
    Add(c, 1, 0, "abcd", 10);
    int64_t ts = 0;
    char kind = 0;
    EXPECT_EQ("abcdefghij", Take(c, &ts, &kind));
    EXPECT_EQ(1, ts);
    EXPECT_EQ('v', kind);
    EXPECT_EQ(0, c.GetPacketCount());
}

TEST(CVQPacketCache, DuplicatesAndOverlapsAreDropped) {
    CVQPacketCache c;
    c.SetCapacity(10);
    Add(c, 1, 0, "abc", 9);
    Add(c, 1, 3, "def", 9);
    Add(c, 1, 3, "def", 9);  // duplicate of a middle piece
    Add(c, 1, 0, "abc", 9);  // duplicate of the first
    Add(c, 1, 2, "XY", 9);   // starts inside a held piece
    Add(c, 1, 5, "ZZ", 9);   // overlaps the end of "def"
    Add(c, 1, 6, "ghi", 9);
    Add(c, 1, 6, "ghi", 9);
    EXPECT_EQ("abcdefghi", Take(c));
    // An overlap that reaches into a later piece keeps the packet incomplete.
    Add(c, 2, 4, "efgh", 8);
    Add(c, 2, 0, "abcde", 8);
    EXPECT_EQ("<none>", Take(c));
}

TEST(CVQPacketCache, PiecesThatDoNotFitAreRefused) {
    CVQPacketCache c;
    c.SetCapacity(10);
    const char* d = "abcdefgh";
    EXPECT_EQ(0, c.AddChunk('v', 6, 8, 1, d, 4));  // beyond the total
    EXPECT_EQ(0, c.AddChunk('v', 2147483600, 2147483647, 1, d, 100));
    EXPECT_EQ(0, c.AddChunk('v', -1, 8, 1, d, 4));
    EXPECT_EQ(0, c.AddChunk('v', 0, CVQPacketCache::kMaxPacketSize + 1, 1, d, 4));
    EXPECT_EQ(1, c.AddChunk('v', 0, 8, 1, d, 4));
    EXPECT_EQ(0, c.AddChunk('v', 4, 9, 1, d, 4));  // same packet, other total
    EXPECT_EQ(1, c.GetPacketCount());
}

TEST(CVQPacketCache, IncompleteOldestBlocksUntilPushedOutOrSkipped) {
    CVQPacketCache c;
    c.SetCapacity(10);
    Add(c, 1, 0, "ab", 4);  // never completes
    for (int ts = 2; ts <= 10; ++ts) Add(c, ts, 0, "x", 1);
    EXPECT_EQ("<none>", Take(c));
    Add(c, 11, 0, "y", 1);  // the 11th packet pushes the oldest out
    int64_t ts = 0;
    EXPECT_EQ("x", Take(c, &ts));
    EXPECT_EQ(2, ts);

    CVQPacketCache s;
    s.SetCapacity(10);
    Add(s, 1, 0, "ab", 4);
    Add(s, 2, 0, "z", 1);
    s.SkipIncomplete();
    EXPECT_EQ("z", Take(s));
}

TEST(CVQPacketCache, FullCacheRefusesOlderPacketsAndOrdersByTimestamp) {
    CVQPacketCache c;  // capacity 2
    Add(c, 20, 0, "b", 1);
    Add(c, 10, 0, "a", 1);
    Add(c, 5, 0, "old", 3);  // full, and older than everything held
    EXPECT_EQ(2, c.GetPacketCount());
    EXPECT_EQ(10, c.PeekTimestamp());
    Add(c, 10, 0, "A", 1, 'a');        // same time stamp, other kind: its own packet
    EXPECT_EQ(2, c.GetPacketCount());  // the oldest, 10 'v', went
    EXPECT_EQ("A", Take(c));
    EXPECT_EQ("b", Take(c));
    c.Clear();
    EXPECT_EQ(-1, c.PeekTimestamp());
    c.SetCapacity(0);
    Add(c, 1, 0, "a", 1);
    EXPECT_EQ(0, c.GetPacketCount());
}

TEST(CVQPacketCache, PiecesPerPacketAreBounded) {
    const int bound = CVQPacketCache::kMaxPiecesPerPacket;
    CVQPacketCache c;
    c.SetCapacity(10);
    // One-byte pieces of a packet twice the bound, newest offsets first.
    std::string whole(static_cast<size_t>(bound) * 2, 0);
    for (size_t i = 0; i < whole.size(); ++i) whole[i] = static_cast<char>('a' + i % 26);
    int kept = 0;
    for (int offset = bound * 2 - 1; offset >= 0; --offset)
        kept += c.AddChunk('v', offset, bound * 2, 1, whole.data() + offset, 1);
    EXPECT_EQ(bound, kept);
    EXPECT_EQ(bound, c.GetHeldBytes());
    EXPECT_EQ("<none>", Take(c));

    // A packet of exactly the bound completes from pieces in any order.
    CVQPacketCache d;
    d.SetCapacity(10);
    std::string packet = whole.substr(0, static_cast<size_t>(bound));
    for (int i = 0; i < bound; ++i) {
        int offset = (i * 7919) % bound;  // a permutation: 7919 is prime
        ASSERT_EQ(1, d.AddChunk('v', offset, bound, 2, packet.data() + offset, 1)) << offset;
    }
    EXPECT_EQ(packet, Take(d));
}
