#pragma once
#include "CVKString.h"
#include "CVQFrmWnd.h"

class CVQButton;
class CVQTextBox;

// The HUD's message window: a text of some lines and an OK button, with a
// Cancel button (confirmation) or a text field (text input). The answer
// reaches the window that asked (the owner) as OnNotify(78, userData, box);
// the owner reads the tag, the data (empty after Cancel) and the typed text.
// A box closed any other way (Esc, the close box, its owner going) answers
// Cancel.
class CVQMsgBox : public CVQFrmWnd {
public:
    enum BoxKind { kMessage = 0, kTextInput = 1, kConfirmation = 2 };
    enum Result { kOpen = 0, kOk = 1, kCancel = 2 };

    CVQMsgBox(int boxKind, const char* text, int lines, CVQWindow* owner, const char* tag, const char* data,
              void* userData);
    ~CVQMsgBox() override;

    // Makes the frame at its place (over the owner, or at (140, 140)) with
    // its face, text and buttons. 0 when the canvas cannot be made.
    int Build();
    int OnKeyboard(uint32_t message, uint32_t key, uint32_t keyData, int* handled) override;
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override;
    void Close() override;
    CVQWindow* Owner() const override { return m_owner; }
    void OnOwnerGone() override;

    // The answer: OK (1) or Cancel (2); the owner is told, the box goes.
    void Answer(int result);

    const char* GetMessageText() const { return m_text.Str(); }
    int GetLines() const { return m_lines; }
    int GetResult() const { return m_result; }
    int GetBoxKind() const { return m_boxKind; }
    const char* GetTag() const { return m_tag.Get(); }  // null when unset
    const char* GetData() const { return m_data.Get(); }
    const char* GetInputText() const;
    void* GetUserData() const { return m_userData; }
    CVQButton* OkButton() const { return m_ok; }
    CVQButton* CancelButton() const { return m_cancel; }
    CVQTextBox* TextField() const { return m_field; }

    static constexpr int kWidth = 350;
    // Lines of text a box holds at most (and at least 1).
    static constexpr int kMaxLines = 50;
    // Message boxes open at once; further ones are not opened (a server
    // cannot bury the game under boxes).
    static constexpr int kMaxOpen = 16;

private:
    CVKString m_text;
    int m_lines;
    CVQButton* m_ok;
    CVQTextBox* m_field;
    CVQButton* m_cancel;
    void* m_userData;
    int m_result;
    int m_boxKind;
    CVKString m_data;
    CVKString m_tag;
    CVQWindow* m_owner;
};

// Open a box over parent (or at (140, 140) without one) and add it to the
// HUD's windows. 1, or 0 when no box could be opened.
int ShowMessage(const char* text, CVQWindow* parent, int lines);
int AskText(const char* text, CVQWindow* parent, const char* tag, int lines);
int AskConfirm(const char* text, CVQWindow* parent, const char* tag, const char* data, int lines, void* userData);
