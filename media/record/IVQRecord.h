#pragma once

// The recorder interface the HUD drives: the session recorder (.rec), the AVI
// recorder, the pipelined recorder (ASF) and the live-share recorder.
class IVQRecord {
public:
    // 1 when started (or the start was accepted), 0 when it failed.
    virtual int BeginRecording() = 0;
    virtual void EndRecording() = 0;
    // Non-zero while a recording is active.
    virtual int IsRecording() = 0;

protected:
    ~IVQRecord() {}  // recorders are deleted through their own types
};
