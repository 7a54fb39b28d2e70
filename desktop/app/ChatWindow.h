#pragma once
#include <string>

#include "CVKDialog.h"

class FriendsPage;

// One chat session's window ("Orvalo HUD Desktop - Chat"): the history, the
// members line, the input line and the send button "<". Closing it leaves
// the session.
class ChatWindow : public CVKDialog {
public:
    ChatWindow(FriendsPage* page, int session);

    int Session() const { return m_session; }
    bool Closed() const { return m_closed; }
    void SetTitle(const std::string& title);
    void SetMembers(const std::string& line);
    // Adds text and a line end to the history and scrolls to it; flashes the
    // window and the main window when it is not in front.
    void Append(const std::string& text);

    // The history keeps at most this many characters (the oldest go first).
    static const int kMaxHistory = 512 * 1024;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;
    void OnCancel() override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) override;

private:
    void Send();

    FriendsPage* m_page;
    int m_session;
    bool m_closed;
    HWND m_tips;
};
