#pragma once
#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CVKChatSessions.h"
#include "CVKFriendList.h"
#include "CVKFriendsCache.h"
#include "CVKInternetFetcher.h"
#include "CVKWinFileSystem.h"
#include "DesktopPage.h"

class AddFriendDialog;
class ChatWindow;
class CVQChat;

// The "My Friends" page: the friends with their avatars, online first, the
// chat windows of the sessions, the Add Friend dialog, and the friend pages
// of the web site. The chat connection's friends and chat events come here
// from the main window's event pump; the friends-information download runs
// one step per tick.
class FriendsPage : public DesktopPage {
public:
    // main may be null (a page hosted on its own: no status bar, no sign-in).
    FriendsPage(MainWindow* main, CVQChat* chat);
    ~FriendsPage() override;

    bool HandleCommand(int id) override;
    void Tick() override;
    // Handles the oldest queued event of the chat connection when it is one
    // of this page's (types 3, 4, 5, 10, 13, 14); true when it was.
    bool OnChatEvent(int type);

    void RequestFriendsInfo();
    // Signs in again with the sign-in page's name and password.
    void SignInAgain();
    void StartChat();
    void OpenAddFriend(const std::string& name);
    // From a chat window: the user sends text, or closed the window.
    void SendChat(int session, const std::string& text);
    void ChatWindowClosed(int session);

    int RowCount() const { return static_cast<int>(m_list.Rows().size()); }
    int Phase() const { return static_cast<int>(m_cache.Phase()); }
    // Avatars on disk not yet shown (they are loaded a few per tick).
    size_t PendingAvatars() const { return m_toLoad.size(); }
    // The "Friends" folder under the data folder (created when missing).
    static std::string FriendsFolder();

    static const int kAvatarSize = 48;
    // Time one tick spends loading avatars from disk, milliseconds.
    static const int kLoadBudgetMs = 12;

protected:
    BOOL OnInitDialog() override;
    void OnDestroy() override;
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) override;

private:
    void OnFriendsList();
    void OnFriendStatus();
    void OnChatSession();
    void AppendTo(int session, const std::string& text);
    void FillList();
    int AvatarImage(const std::string& name, bool reload);
    void ShowAvatar(const std::string& name);
    void LoadAvatars();
    std::vector<std::string> SelectedNames();
    void OpenFriendPages(bool profile);
    void SetStatus(const std::string& text);
    void Layout();

    CVQChat* m_chat;
    CVKWinFileSystem m_fs;
    CVKInternetFetcher m_fetcher;
    CVKFriendsCache m_cache;
    CVKFriendList m_list;
    CVKChatSessions m_sessions;
    std::map<int, std::unique_ptr<ChatWindow>> m_windows;
    std::unique_ptr<AddFriendDialog> m_addFriend;
    HIMAGELIST m_images;
    int m_defaultImage;
    std::map<std::string, int> m_imageOf;
    std::deque<std::string> m_toLoad;
};
