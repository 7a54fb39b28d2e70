#pragma once
#include <windows.h>

#include <string>

#include "CVKRecPlayer.h"
#include "CVKWaveOutSink.h"

// The black popup window that plays a recording (.rec) with its sound; a
// left click pauses and resumes. It deletes itself when closed.
class RecPlayerWindow {
public:
    // Opens a window for the recording; null when it cannot be read.
    static RecPlayerWindow* Play(HWND owner, const std::string& path);
    HWND Handle() const { return m_hwnd; }

private:
    RecPlayerWindow() : m_hwnd(nullptr) {}
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Draw(const uint8_t* pixels, int width, int height);

    HWND m_hwnd;
    CVKWaveOutSink m_sink;
    CVKRecPlayer m_player;
};
