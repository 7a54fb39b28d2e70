#include "FriendsPage.h"

#include "AddFriendDialog.h"
#include "CVQChat.h"
#include "ChatWindow.h"
#include "MainWindow.h"
#include "VKDesktopPaths.h"
#include "VKDesktopShell.h"
#include "VKFriendsText.h"
#include "VKJpegBitmap.h"
#include "VKLog.h"
#include "VKNetEndpoints.h"
#include "VKSettings.h"
#include "resource.h"

namespace {
const UINT kMsgDeleteChat = WM_APP + 20;
}

std::string FriendsPage::FriendsFolder() {
    std::string data = VKGetSetting("dataFolder", "C:\\Orvalo " VK_VERSION "\\").Str();
    std::string folder = JoinPath(data, "Friends", nullptr);
    CreateDirectoryA(data.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

FriendsPage::FriendsPage(MainWindow* main, CVQChat* chat)
    : DesktopPage(IDD_FRIENDS, main),
      m_chat(chat),
      m_fetcher(CVKFriendsCache::kMaxInfoBytes),
      m_cache(&m_fs, FriendsFolder(), &m_fetcher, VKWebSiteUrl("").Str()),
      m_images(nullptr),
      m_defaultImage(-1) {
    m_cache.Load();
}

FriendsPage::~FriendsPage() {
    m_windows.clear();
    m_addFriend.reset();
    if (m_images) ImageList_Destroy(m_images);
}

BOOL FriendsPage::OnInitDialog() {
    HWND list = Item(IDC_FRIENDLIST);
    m_images = ImageList_Create(kAvatarSize, kAvatarSize, ILC_COLOR24, 64, 256);
    ListView_SetImageList(list, m_images, LVSIL_NORMAL);
    HICON icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, kAvatarSize, kAvatarSize, 0));
    m_defaultImage = icon ? ImageList_ReplaceIcon(m_images, -1, icon) : -1;
    if (icon) DestroyIcon(icon);
    // Sub-item 1 holds the group, sub-item 2 the bare user name.
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH;
        column.cx = 120;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    FillList();
    return TRUE;
}

void FriendsPage::OnDestroy() {
    // The program ends: every chat window closes (and leaves its session).
    for (auto& w : m_windows)
        if (!w.second->Closed() && m_chat) m_chat->SendLeaveChat(w.first, WebUser().c_str());
    m_windows.clear();
    m_addFriend.reset();
}

void FriendsPage::Layout() {
    RECT client;
    GetClientRect(m_hwnd, &client);
    SetWindowPos(Item(IDC_FRIENDLIST), nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER);
    SendMessageA(Item(IDC_FRIENDLIST), LVM_ARRANGE, LVA_DEFAULT, 0);
}

void FriendsPage::SetStatus(const std::string& text) {
    if (m_main) m_main->SetStatusText(text);
}

// The image of a user's avatar (the default picture when there is none);
// one image per name however many rows it has.
int FriendsPage::AvatarImage(const std::string& name, bool reload) {
    auto known = m_imageOf.find(name);
    if (known != m_imageOf.end() && !reload) return known->second;
    std::string file = m_cache.AvatarFile(name), bytes;
    HBITMAP bitmap = nullptr;
    if (!file.empty() && m_fs.ReadFile(file, CVKFriendsCache::kMaxAvatarBytes, &bytes))
        bitmap = JpegToBitmap(bytes, kAvatarSize, kAvatarSize);
    if (!bitmap) return known != m_imageOf.end() ? known->second : m_defaultImage;
    int image;
    if (known != m_imageOf.end() && known->second != m_defaultImage) {
        image = known->second;
        ImageList_Replace(m_images, image, bitmap, nullptr);
    } else {
        image = ImageList_Add(m_images, bitmap, nullptr);
    }
    DeleteObject(bitmap);
    m_imageOf[name] = image;
    return image;
}

void FriendsPage::FillList() {
    HWND list = Item(IDC_FRIENDLIST);
    if (!list) return;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    // Pictures already loaded stay; the others come from disk a few per
    // tick, so a long list shows at once and the window never stalls.
    m_toLoad.clear();
    const std::vector<VKFriendRow>& rows = m_list.Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        auto known = m_imageOf.find(rows[i].name);
        if (known == m_imageOf.end()) m_toLoad.push_back(rows[i].name);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<char*>(rows[i].text.c_str());
        item.iImage = known != m_imageOf.end() ? known->second : m_defaultImage;
        int index = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        LVITEMA sub = {};
        sub.iSubItem = 1;
        sub.pszText = const_cast<char*>(rows[i].group.c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&sub));
        sub.iSubItem = 2;
        sub.pszText = const_cast<char*>(rows[i].name.c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&sub));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void FriendsPage::ShowAvatar(const std::string& name) {
    HWND list = Item(IDC_FRIENDLIST);
    int image = AvatarImage(name, true);
    const std::vector<VKFriendRow>& rows = m_list.Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].name != name) continue;
        LVITEMA item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.iImage = image;
        SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        // Only that item is drawn again, not the whole list.
        ListView_RedrawItems(list, static_cast<int>(i), static_cast<int>(i));
    }
}

void FriendsPage::LoadAvatars() {
    LARGE_INTEGER start, now, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    while (!m_toLoad.empty()) {
        std::string name = m_toLoad.front();
        m_toLoad.pop_front();
        if (!m_imageOf.count(name)) ShowAvatar(name);
        QueryPerformanceCounter(&now);
        if ((now.QuadPart - start.QuadPart) * 1000 >= kLoadBudgetMs * frequency.QuadPart) break;
    }
}

void FriendsPage::RequestFriendsInfo() {
    m_cache = CVKFriendsCache(&m_fs, FriendsFolder(), &m_fetcher, VKWebSiteUrl("").Str());
    m_cache.Load();
    m_cache.Request(WebUser(), WebPassword());
}

void FriendsPage::SignInAgain() {
    if (m_main) m_main->SignIn().SignIn();
}

void FriendsPage::Tick() {
    CVKFriendsCache::Step s = m_cache.Advance();
    if (s.statusChanged) SetStatus(s.status);
    if (!s.avatarName.empty()) ShowAvatar(s.avatarName);
    LoadAvatars();
}

bool FriendsPage::OnChatEvent(int type) {
    switch (type) {
    case kChatStartChatFailed: {
        CVKString reason;
        if (m_chat->GetStartChatFailure(&reason))
            MessageBoxText(reason.Length() ? reason.Str() : "Failed to start the chat session", MB_ICONEXCLAMATION);
        return true;
    }
    case kChatSession: OnChatSession(); return true;
    case kChatSessionTerminated: {
        int session = 0;
        if (m_chat->GetTerminatedSession(&session)) AppendTo(session, "Chat session terminated!");
        return true;
    }
    case kChatSessionMessage: {
        int session = 0;
        CVKString sender, text;
        if (m_chat->GetChatMessage(&session, &sender, &text))
            AppendTo(session, std::string(sender.Str()) + " : " + text.Str());
        return true;
    }
    case kChatFriendsList: OnFriendsList(); return true;
    case kChatFriendStatus: OnFriendStatus(); return true;
    default: return false;
    }
}

void FriendsPage::OnFriendsList() {
    CVKPtrList groups;
    if (!m_chat->GetFriendsList(&groups)) return;
    std::vector<VKFriendGroupNames> names;
    for (int i = 0; i < groups.Count(); ++i) {
        FriendGroup* g = static_cast<FriendGroup*>(groups.Get(i));
        VKFriendGroupNames n;
        n.name = g->name.Str();
        for (int k = 0; k < g->online.Count(); ++k)
            n.online.push_back(static_cast<CVKString*>(g->online.Get(k))->Str());
        for (int k = 0; k < g->offline.Count(); ++k)
            n.offline.push_back(static_cast<CVKString*>(g->offline.Get(k))->Str());
        names.push_back(n);
    }
    FreeFriendGroups(&groups);
    m_list.SetGroups(names);
    FillList();
    bool missing = false;
    for (const VKFriendRow& row : m_list.Rows())
        if (m_cache.Missing(row.name)) {
            missing = true;
            break;
        }
    if (missing) RequestFriendsInfo();
}

void FriendsPage::OnFriendStatus() {
    CVKString name;
    int online = 0;
    if (!m_chat->GetFriendStatus(&name, &online)) return;
    bool ask = false;
    std::vector<int> rows = m_list.SetStatus(name.Str(), online != 0, &ask);
    HWND list = Item(IDC_FRIENDLIST);
    for (int index : rows) {
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = const_cast<char*>(m_list.Rows()[index].text.c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    }
    if (!ask) return;
    std::string question =
        std::string(name.Str()) + " has added you to his/her friend list.\n\nDo you wish to add him/her to your list?";
    if (MessageBoxText(question, MB_YESNOCANCEL | MB_ICONQUESTION) == IDYES) OpenAddFriend(name.Str());
}

void FriendsPage::OnChatSession() {
    int session = 0;
    CVKPtrList members;
    if (!m_chat->GetChatSession(&session, &members)) return;
    std::vector<std::string> names;
    for (int i = 0; i < members.Count(); ++i) names.push_back(static_cast<CVKString*>(members.Get(i))->Str());
    FreeStringList(&members);
    VKChatSessionUpdate u = m_sessions.OnSession(session, names);
    if (u.refused) {
        LogMessage("FriendsPage::OnChatSession(): Too many chat windows open; left session %d\r\n", session);
        m_chat->SendLeaveChat(session, WebUser().c_str());
        return;
    }
    if (u.created) {
        std::unique_ptr<ChatWindow> window(new ChatWindow(this, session));
        if (!window->Create(nullptr)) {
            LogMessage("FriendsPage::OnChatSession(): Failed to create a chat window (%lu)\r\n", GetLastError());
            m_sessions.Close(session);
            return;
        }
        ShowWindow(window->Handle(), SW_SHOW);
        m_windows[session] = std::move(window);
    }
    ChatWindow* w = m_windows[session].get();
    w->SetTitle(u.title);
    w->SetMembers(u.membersLine);
    if (!u.append.empty()) w->Append(u.append);
}

void FriendsPage::AppendTo(int session, const std::string& text) {
    auto it = m_windows.find(session);
    if (it != m_windows.end() && !it->second->Closed()) it->second->Append(text);
}

void FriendsPage::SendChat(int session, const std::string& text) {
    m_chat->SendChatMessage(session, WebUser().c_str(), text.c_str());
}

void FriendsPage::ChatWindowClosed(int session) {
    m_chat->SendLeaveChat(session, WebUser().c_str());
    m_sessions.Close(session);
    PostMessageA(m_hwnd, kMsgDeleteChat, static_cast<WPARAM>(session), 0);
}

std::vector<std::string> FriendsPage::SelectedNames() {
    std::vector<std::string> names;
    HWND list = Item(IDC_FRIENDLIST);
    const std::vector<VKFriendRow>& rows = m_list.Rows();
    for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0;
         i = ListView_GetNextItem(list, i, LVNI_SELECTED))
        if (i < static_cast<int>(rows.size())) names.push_back(rows[i].name);
    return names;
}

void FriendsPage::StartChat() {
    std::vector<std::string> names = SelectedNames();
    if (names.empty()) {
        MessageBoxText("Please select one or more friend(s) first!", MB_ICONEXCLAMATION);
        return;
    }
    CVKPtrList list;
    for (const std::string& n : names) list.Insert(new CVKString(n.c_str()));
    m_chat->SendStartChat(list);
    FreeStringList(&list);
}

void FriendsPage::OpenFriendPages(bool profile) {
    for (const std::string& name : SelectedNames()) {
        std::string id = FriendIdentifier(m_cache.Lines(), name);
        OpenWebPage(m_hwnd, profile ? ProfileTarget(id) : SendMessageTarget(id), true);
    }
}

void FriendsPage::OpenAddFriend(const std::string& name) {
    if (!m_addFriend || !m_addFriend->Handle()) {
        m_addFriend.reset(new AddFriendDialog(this));
        m_addFriend->Create(nullptr);
    }
    if (!name.empty()) m_addFriend->SetSearchText(name);
    ShowWindow(m_addFriend->Handle(), SW_SHOW);
    SetForegroundWindow(m_addFriend->Handle());
}

bool FriendsPage::HandleCommand(int id) {
    switch (id) {
    case ID_VIEW_REFRESH:
        if (!Visible()) return false;
        SignInAgain();
        RequestFriendsInfo();
        return true;
    case ID_FRIENDS_ADD: OpenAddFriend(""); return true;
    case ID_FRIENDS_CHAT: StartChat(); return true;
    case ID_FRIENDS_VIEW: OpenWebPage(m_hwnd, "/huds.php", true); return true;
    case ID_FRIENDS_SEND: OpenFriendPages(false); return true;
    case ID_FRIENDS_PROFILE: OpenFriendPages(true); return true;
    case ID_FRIENDS_REMOVE: OpenWebPage(m_hwnd, "/myfriends.php", true); return true;
    default: return false;
    }
}

INT_PTR FriendsPage::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    switch (msg) {
    case WM_SIZE: Layout(); break;
    case kMsgDeleteChat: {
        auto it = m_windows.find(static_cast<int>(wp));
        if (it != m_windows.end() && it->second->Closed()) m_windows.erase(it);
        *handled = true;
        return 0;
    }
    case WM_NOTIFY: {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lp);
        if (hdr->idFrom == IDC_FRIENDLIST && hdr->code == NM_RCLICK) {
            HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POPUPS));
            POINT pt;
            GetCursorPos(&pt);
            HWND target = m_main ? m_main->Handle() : m_hwnd;
            TrackPopupMenu(GetSubMenu(menu, 1), TPM_RIGHTBUTTON, pt.x, pt.y, 0, target, nullptr);
            DestroyMenu(menu);
        }
        break;
    }
    default: break;
    }
    return 0;
}
