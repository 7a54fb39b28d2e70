#include "AddFriendDialog.h"

#include "CVKInternet.h"
#include "CVKInternetFetcher.h"
#include "FriendsPage.h"
#include "MainWindow.h"
#include "VKDesktopShell.h"
#include "VKNetEndpoints.h"
#include "resource.h"

namespace {
const int kWidth = 575, kHeight = 265, kGrownHeight = 500;
const size_t kMaxReply = 1024 * 1024;
}  // namespace

AddFriendDialog::AddFriendDialog(FriendsPage* page) : CVKDialog(IDD_ADDFRIEND), m_page(page) {}

BOOL AddFriendDialog::OnInitDialog() {
    SetWindowPos(m_hwnd, nullptr, 0, 0, kWidth, kHeight, SWP_NOMOVE | SWP_NOZORDER);
    SendMessageA(Item(IDC_AF_SEARCH), EM_LIMITTEXT, 256, 0);
    return TRUE;
}

void AddFriendDialog::SetSearchText(const std::string& text) { SetText(IDC_AF_SEARCH, text); }

bool AddFriendDialog::Fetch(const std::string& address, std::string* body) {
    CVKWaitCursor wait;
    CVKInternet* net = new CVKInternet();
    net->SetLimit(kMaxReply);
    net->Open(address);
    bool ok = CVKInternetFetcher::Complete(net);
    if (ok) *body = net->Data();
    net->Release();
    if (!ok) MessageBoxText("Failed to connect to " + std::string(VKWebSiteUrl("").Str()), MB_ICONEXCLAMATION);
    return ok;
}

void AddFriendDialog::Search() {
    SendMessageA(Item(IDC_AF_RESULTS), LB_RESETCONTENT, 0, 0);
    m_results.clear();
    Enable(IDC_AF_SEARCHBTN, false);
    std::string body;
    bool ok =
        Fetch(std::string(VKDesktopServiceUrl("contactsearch.php?").Str()) + ContactSearchQuery(GetText(IDC_AF_SEARCH)),
              &body);
    Enable(IDC_AF_SEARCHBTN, true);
    if (!ok) return;
    if (body.empty()) {
        SetText(IDC_AF_HINT, "Nothing found.");
        return;
    }
    m_results = ParseContactSearch(body);
    for (const VKContact& c : m_results)
        SendMessageA(Item(IDC_AF_RESULTS), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.text.c_str()));
    SetText(IDC_AF_HINT, "Found " + std::to_string(m_results.size()) +
                             ". Please select the person in the result list below, and choose 'add friend' below.");
    SetWindowPos(m_hwnd, nullptr, 0, 0, kWidth, kGrownHeight, SWP_NOMOVE | SWP_NOZORDER);
}

void AddFriendDialog::Add() {
    int index = static_cast<int>(SendMessageA(Item(IDC_AF_RESULTS), LB_GETCURSEL, 0, 0));
    if (index < 0 || index >= static_cast<int>(m_results.size())) {
        MessageBoxText("Please select a person first", MB_ICONEXCLAMATION);
        return;
    }
    std::string reply;
    if (!Fetch(std::string(VKDesktopServiceUrl("addcontact.php?").Str()) +
                   AddContactQuery(m_results[index].handle, WebUser(), WebPassword()),
               &reply))
        return;
    if (!AddContactSucceeded(reply)) {
        MessageBoxText(reply.empty() ? "The service did not add the friend." : reply, MB_ICONEXCLAMATION);
        return;
    }
    SetText(IDC_AF_SEARCH, "");
    SendMessageA(Item(IDC_AF_RESULTS), LB_RESETCONTENT, 0, 0);
    m_results.clear();
    // Signing in again brings a fresh friends list.
    if (m_page) m_page->SignInAgain();
    End(IDOK);
}

bool AddFriendDialog::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDC_AF_SEARCHBTN: Search(); return true;
    case IDC_AF_ADD: Add(); return true;
    case IDC_AF_HELP: OpenWebPage(m_hwnd, "/faq.php", true); return true;
    default: return false;
    }
}
