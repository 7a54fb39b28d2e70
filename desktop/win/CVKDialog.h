#pragma once
#include <windows.h>

#include <string>

// A dialog from the resource script with its messages routed to virtual
// handlers: commands, timer ticks, initialisation, OK and Cancel. Modal
// (DoModal) or modeless (Create); modeless dialogs register themselves so the
// program's message loop gives them keyboard navigation.
class CVKDialog {
public:
    explicit CVKDialog(int templateId);
    virtual ~CVKDialog();
    CVKDialog(const CVKDialog&) = delete;
    CVKDialog& operator=(const CVKDialog&) = delete;

    bool Create(HWND parent);
    INT_PTR DoModal(HWND parent);
    void Destroy();
    HWND Handle() const { return m_hwnd; }
    HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }

    std::string GetText(int id) const;
    void SetText(int id, const std::string& text);
    void Enable(int id, bool enable);
    void Show(int id, bool show);
    bool IsChecked(int id) const;
    void SetCheck(int id, bool checked);
    int MessageBoxText(const std::string& text, UINT flags);

    // Gives every registered modeless dialog its keyboard navigation.
    static bool PreTranslate(MSG* msg);

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // Returns true when the command was handled.
    virtual bool OnCommand(int id, int code, HWND control) { return false; }
    virtual void OnTimer(UINT_PTR id) {}
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnDestroy() {}
    // Any other message; set *handled to give the result.
    virtual INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) { return 0; }
    // Ends the dialog (modal) or destroys it (modeless).
    void End(int result);

    HWND m_hwnd;

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    int m_template;
    bool m_modal;
};

// The wait cursor for the lifetime of the object.
class CVKWaitCursor {
public:
    CVKWaitCursor() : m_old(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
    ~CVKWaitCursor() { SetCursor(m_old); }

private:
    HCURSOR m_old;
};
