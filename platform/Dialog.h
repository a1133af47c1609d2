#pragma once
// A modal dialog made from a resource template whose messages go to member functions: the small
// part of an application framework that the updater's one window needs.

#include <windows.h>

class Dialog {
public:
    explicit Dialog(UINT templateId);
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog until it ends and returns its result: the id given to EndDialog (IDOK or
    // IDCANCEL for Enter, Escape and the close command), or -1 when the template could not be
    // used. A WM_QUIT that reaches the dialog's modal loop also ends it; the loop puts the quit
    // back in the queue for whichever loop runs next. Resources come from the program file.
    INT_PTR DoModal(HWND parent = nullptr);

    // The dialog's window while it exists, otherwise null.
    HWND GetSafeHwnd() const { return window_; }

protected:
    // WM_INITDIALOG, once the window exists and before it is first shown. The result only says
    // whether the system should give the focus to the first control.
    virtual bool OnInitDialog() { return true; }

    // Every message before default processing. True when it was handled; `result` is then what
    // the message returns. False hands it to the system's default dialog processing, also after
    // a handler that did its own work first.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // WM_DESTROY: the modal loop destroys the window itself once the dialog has ended, whatever
    // ended it, so this is the one place that sees every ending.
    virtual void OnDestroy() {}

    // The default OK and Cancel commands (Enter, Escape, the window's close command) end the
    // dialog with IDOK and IDCANCEL.
    virtual void OnOK();
    virtual void OnCancel();

    void EndDialog(INT_PTR result);

private:
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND window_ = nullptr;
};
