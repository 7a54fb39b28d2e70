#pragma once
#include <string>
#include <vector>

// Decodes a JPEG picture (a game's box picture) into 24-bit RGB rows, top
// row first. False for anything that is not a readable JPEG or is larger
// than 4096 x 4096.
bool DecodeJpeg(const std::string& bytes, int* width, int* height, std::vector<unsigned char>* rgb);
