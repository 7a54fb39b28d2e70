#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Builds a recording file in memory the way the session recorder writes it:
// real HuffYUV pictures of the counter picture (counter = video record index)
// and audio records of audioBytes bytes whose bytes count up. Before video
// record k stand 1 + (k % 2) audio records. recordEnds receives the file
// offset after every record, in order.
std::vector<uint8_t> MakeRecFile(int width, int height, int videoRecords, uint32_t audioBytes,
                                 std::vector<size_t>* recordEnds);
bool WriteBytes(const std::string& path, const uint8_t* data, size_t size);
