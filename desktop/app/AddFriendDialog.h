#pragma once
#include <string>
#include <vector>

#include "CVKDialog.h"
#include "VKFriendsText.h"

class FriendsPage;

// "Orvalo HUD Desktop - Add Friend" (modeless, one at a time): searches the
// service's contacts and adds the chosen one to the user's friends.
class AddFriendDialog : public CVKDialog {
public:
    explicit AddFriendDialog(FriendsPage* page);
    void SetSearchText(const std::string& text);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override { Search(); }

private:
    void Search();
    void Add();
    bool Fetch(const std::string& address, std::string* body);

    FriendsPage* m_page;
    std::vector<VKContact> m_results;
};
