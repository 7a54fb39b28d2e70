#pragma once
#include <cstdint>

// Something a worker thread runs one pass of at a time: encoders, and the
// decoders of the viewing side. Its two counters are kept by the subclasses
// that need them (the ASF recording encoder).
class CVQWorker {
public:
    CVQWorker() : m_picturesEncoded(0), m_stepsWritten(0) {}
    virtual int EncodePending() = 0;
    virtual ~CVQWorker() {}

protected:
    int32_t m_picturesEncoded;
    int32_t m_stepsWritten;
};
