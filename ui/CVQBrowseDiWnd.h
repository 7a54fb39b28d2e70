#pragma once
#include <cstdint>
#include <string>

#include "CVQDiReader.h"
#include "CVQFrmWnd.h"
#include "CVQGraphics.h"
#include "VQKeyTable.h"

class CVQBrowsePlayWnd;

// The replay of a recording's keyboard and mouse: a frame window (kind 13)
// with the keyboard picture, on which the keys of the .di file are marked
// while they are down, in step with the player it belongs to. Closing it
// alone only detaches it from the player.
class CVQBrowseDiWnd : public CVQFrmWnd {
public:
    CVQBrowseDiWnd();
    ~CVQBrowseDiWnd() override;

    // Makes the window and opens the .di file: the keyboard picture and the
    // path as title, or "Error opening file". 0 only when the window cannot be made.
    virtual int Open(int32_t x, int32_t y, int32_t width, int32_t height, const char* path, CVQBrowsePlayWnd* player);
    void Close() override;

    // Draws every event before the media time (milliseconds).
    virtual void AdvanceTo(int64_t mediaMs);
    // Clears the marks and starts again at the first event.
    virtual void Rewind();
    void DetachPlayer() { m_player = nullptr; }

    CVQBrowsePlayWnd* Player() const { return m_player; }
    int IsFileOpen() const { return m_reader.IsOpen(); }
    int EventsDrawn() const { return m_drawn; }
    const VQKeyRect& KeyRect(int index) const;

    static const uint32_t kMark = 0xFFFF0000;

private:
    void DrawEntry(const VQDiEntry& entry);
    void DrawKeyboard();

    CVQDiReader m_reader;
    std::string m_path;
    CVQBrowsePlayWnd* m_player;
    VQKeyRect m_keys[kVQKeyTableSize];
    CVQGraphics m_keyboard;
    VQDiEntry m_pending;  // read, not drawn yet (its time had not come)
    int m_hasPending;
    int m_drawn;
};
