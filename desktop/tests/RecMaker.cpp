// Writes a recording as the session recorder writes it (counter pictures in
// HuffYUV, counting sound bytes) for the tests that drive the program.
//   rec_maker.exe PATH WIDTH HEIGHT PICTURES
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "RecFileMaker.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: rec_maker PATH WIDTH HEIGHT PICTURES\n");
        return 2;
    }
    const int width = atoi(argv[2]), height = atoi(argv[3]), pictures = atoi(argv[4]);
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096 || pictures <= 0 || pictures > 100000) {
        fprintf(stderr, "rec_maker: size or count out of range\n");
        return 2;
    }
    const std::vector<uint8_t> file = MakeRecFile(width, height, pictures, 5880, nullptr);
    if (file.empty() || !WriteBytes(argv[1], file.data(), file.size())) {
        fprintf(stderr, "rec_maker: could not make %s\n", argv[1]);
        return 1;
    }
    return 0;
}
