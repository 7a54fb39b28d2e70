#include "AboutDialog.h"

#include "VKDesktopShell.h"
#include "resource.h"

AboutDialog::AboutDialog() : CVKDialog(IDD_ABOUT) {}

bool AboutDialog::OnCommand(int id, int code, HWND control) {
    if (id != IDC_AB_MORE) return false;
    OpenWebPage(m_hwnd, "/about.php", true);
    return true;
}
