#include "CVQDecodeVoice.h"

void CVQDecodeVoice::Update() {
    m_session.Update();
    // A voice stream has no pictures to show; one that came anyway must not
    // hold up the sound behind it.
    m_session.TakePicture(nullptr, nullptr, nullptr);
}

int CVQDecodeVoice::TakeAudio(const uint8_t** data, int* size, int64_t* timestamp) {
    uint8_t* sound = nullptr;
    if (!m_session.TakeAudio(&sound, size, timestamp)) return 0;
    *data = sound;
    return 1;
}
