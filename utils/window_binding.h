// Binds a dialog object to its window.  The object goes into DWLP_USER at
// WM_INITDIALOG and out again at WM_NCDESTROY; every message in between
// reaches its OnMessage.  Before WM_INITDIALOG and after WM_NCDESTROY no
// object is bound, so none of its handlers runs: a late message (a timer, a
// notice of a child being destroyed) cannot reach an object that is gone.
//
// Who deletes the object is part of the binding's type:
//   DeletedWithWindow  a modeless dialog made by Create with its object; the
//                      window owns the object from WM_INITDIALOG on and
//                      deletes it at WM_NCDESTROY.  A window that never got
//                      that far leaves it to Create, which deletes it.
//   OutlivesWindow     the caller owns the object: a modal dialog's object on
//                      the caller's stack, or the resident window's, which
//                      the application owns.  The window only lets go of it.
//
// The object answers
//   INT_PTR OnInitDialog(HWND window);  // what WM_INITDIALOG answers
//   INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
// OnMessage returns TRUE for a message it handled and FALSE for one the
// dialog manager is to handle.  A message with a result of its own
// (WM_NOTIFY, WM_COPYDATA, ...) is answered with Answer.
#ifndef TIVORN_UTILS_WINDOW_BINDING_H
#define TIVORN_UTILS_WINDOW_BINDING_H

#include <windows.h>

#include <memory>

enum class WindowLifetime {
    DeletedWithWindow,
    OutlivesWindow,
};

template <typename Object, WindowLifetime kLifetime>
class WindowBinding {
public:
    // The object bound to window; null before WM_INITDIALOG and after WM_NCDESTROY.
    static Object *From(HWND window) { return reinterpret_cast<Object *>(GetWindowLongPtrA(window, DWLP_USER)); }

    // The result of the message being handled, for OnMessage to return.  A
    // dialog procedure's own return value only says whether it handled one.
    static INT_PTR Answer(HWND window, LRESULT result) {
        SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
        return TRUE;
    }

    // A modeless dialog that takes the object over; null when it could not be made.
    static HWND Create(HINSTANCE instance, int dialogId, HWND owner, std::unique_ptr<Object> object) {
        static_assert(kLifetime == WindowLifetime::DeletedWithWindow, "the window would not delete the object");
        return CreateDialogParamA(instance, MAKEINTRESOURCEA(dialogId), owner, Proc,
                                  reinterpret_cast<LPARAM>(&object));
    }

    // A modeless dialog over an object that the caller keeps.
    static HWND Create(HINSTANCE instance, int dialogId, HWND owner, Object &object) {
        static_assert(kLifetime == WindowLifetime::OutlivesWindow, "the window would delete the caller's object");
        return CreateDialogParamA(instance, MAKEINTRESOURCEA(dialogId), owner, Proc,
                                  reinterpret_cast<LPARAM>(&object));
    }

    // A modal dialog over an object that the caller keeps; answers what
    // EndDialog was given, or -1 when the dialog could not be made.
    static INT_PTR Run(HINSTANCE instance, int dialogId, HWND owner, Object &object) {
        static_assert(kLifetime == WindowLifetime::OutlivesWindow, "the window would delete the caller's object");
        return DialogBoxParamA(instance, MAKEINTRESOURCEA(dialogId), owner, Proc, reinterpret_cast<LPARAM>(&object));
    }

private:
    static Object *Take(LPARAM param) {
        if constexpr (kLifetime == WindowLifetime::DeletedWithWindow)
            return reinterpret_cast<std::unique_ptr<Object> *>(param)->release();
        else
            return reinterpret_cast<Object *>(param);
    }

    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            Object *object = Take(lParam);
            SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(object));
            return object->OnInitDialog(window);
        }
        Object *object = From(window);
        if (!object) return FALSE;
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrA(window, DWLP_USER, 0);
            if constexpr (kLifetime == WindowLifetime::DeletedWithWindow) delete object;
            return FALSE;
        }
        return object->OnMessage(message, wParam, lParam);
    }
};

#endif
