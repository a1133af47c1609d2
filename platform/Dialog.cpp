#include "platform/Dialog.h"

#include "platform/DebugOutput.h"

Dialog::Dialog(UINT templateId) : templateId_(templateId) {}

INT_PTR Dialog::DoModal(HWND parent) {
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent,
                             &Dialog::DialogProcedure, reinterpret_cast<LPARAM>(this));
}

void Dialog::OnOK() {
    EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void Dialog::EndDialog(INT_PTR result) {
    if (window_ != nullptr) {
        ::EndDialog(window_, result);
    }
}

bool Dialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        // The system's default dialog processing turns Enter, Escape and WM_CLOSE into these
        // commands but leaves ending the dialog to the dialog itself.
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            result = 0;
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            result = 0;
            return true;
        }
    }
    return false;
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return OnInitDialog() ? TRUE : FALSE;
    }
    if (message == WM_DESTROY) {
        OnDestroy();
        return FALSE;
    }
    LRESULT result = 0;
    if (!OnMessage(message, wParam, lParam, result)) {
        return FALSE;
    }
    switch (message) {
    // These few return their result straight from the dialog procedure.
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        return static_cast<INT_PTR>(result);
    default:
        ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

INT_PTR CALLBACK Dialog::DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    } else {
        self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    // Messages that arrive before WM_INITDIALOG (WM_SETFONT) find no object yet.
    if (self == nullptr) {
        return FALSE;
    }
    INT_PTR handled = FALSE;
    // An exception must not unwind through the system's message dispatch; the message then
    // gets default processing.
    try {
        handled = self->Dispatch(message, wParam, lParam);
    } catch (...) {
        DebugLine(L"Dialog: a message handler threw; the message got default processing");
        handled = FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
    }
    return handled;
}
