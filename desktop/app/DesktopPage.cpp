#include "DesktopPage.h"

#include "resource.h"

PlaceholderPage::PlaceholderPage(MainWindow* main, const char* text) : DesktopPage(IDD_PAGE, main), m_text(text) {}

BOOL PlaceholderPage::OnInitDialog() {
    SetText(IDC_PAGE_TEXT, m_text);
    return TRUE;
}
