#pragma once
// Paces a zero overwrite that runs inside a modal dialog: before each block one waiting message is
// handled (the dialog's Cancel arrives that way), and the overwrite stops once Cancel was pressed.
#include <windows.h>

#include "BlockWrite.h"

class DialogPacer : public BlockPacer {
public:
    // `cancelled` is the dialog's flag that its Cancel handler sets.
    DialogPacer(HWND dialog, const int& cancelled) : dialog_(dialog), cancelled_(cancelled) {}

    bool BeforeBlock() override {
        MSG msg;
        if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return true;
        if (cancelled_) return false;
        if (!::IsDialogMessageA(dialog_, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        return true;
    }

private:
    HWND dialog_;
    const int& cancelled_;
};
