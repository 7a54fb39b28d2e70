#include "RecFileMaker.h"

#include <cstdio>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "CVQFFmpegEncoder.h"
#include "MediaTestUtil.h"
#include "VQRecFormat.h"

std::vector<uint8_t> MakeRecFile(int width, int height, int videoRecords, uint32_t audioBytes,
                                 std::vector<size_t>* recordEnds) {
    CVQFFmpegEncoder encoder;
    encoder.EnableVideo(1);
    encoder.SetVideoCodec(26, 0);
    encoder.SetVideoFormat(width, height, 0, 6);
    std::vector<uint8_t> file;
    if (!encoder.OpenEncoder()) return file;
    int extraSize = 0;
    const uint8_t* extra = encoder.GetCodecData(&extraSize);
    VQRecHeader header = {22,
                          static_cast<uint32_t>(encoder.GetReducedWidth()),
                          static_cast<uint32_t>(encoder.GetReducedHeight()),
                          2,
                          44100,
                          16,
                          audioBytes,
                          static_cast<uint32_t>(extraSize)};
    file.resize(kVQRecHeaderSize);
    VQRecPutHeader(file.data(), header);
    file.insert(file.end(), extra, extra + extraSize);
    std::vector<uint8_t> picture(static_cast<size_t>(width) * height * 4);
    AVPacket* packet = av_packet_alloc();
    int64_t audioRecords = 0;
    uint8_t next = 0;
    for (int k = 0; k < videoRecords; k++) {
        for (int a = 0; a < 1 + (k % 2); a++) {
            uint8_t prefix[kVQRecAudioPrefixSize];
            VQRecPutAudioPrefix(prefix, audioBytes);
            file.insert(file.end(), prefix, prefix + sizeof prefix);
            for (uint32_t i = 0; i < audioBytes; i++) file.push_back(next++);
            audioRecords++;
            if (recordEnds) recordEnds->push_back(file.size());
        }
        DrawCounterPicture(picture.data(), width, height, width * 4, static_cast<uint32_t>(k));
        encoder.SetInputPicture(picture.data());
        if (!encoder.EncodeVideoPacket(packet)) break;
        uint8_t prefix[kVQRecVideoPrefixSize];
        VQRecPutVideoPrefix(prefix, VQRecTimestamp(audioRecords), 1, static_cast<uint32_t>(packet->size));
        file.insert(file.end(), prefix, prefix + sizeof prefix);
        file.insert(file.end(), packet->data, packet->data + packet->size);
        if (recordEnds) recordEnds->push_back(file.size());
    }
    av_packet_free(&packet);
    return file;
}

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}
