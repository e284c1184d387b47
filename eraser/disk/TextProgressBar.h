#pragma once
// A progress bar (range 0 to 100, step 1) that also paints a text centred in it and a small
// picture at its current position. Every operation is a message to the control, so another thread
// can drive it with SendMessage; messages to a strip that is gone simply fail.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Wnd.h"

class TextProgressBar : public CWnd {
public:
    // Sets the centred text: lParam points to a zero-terminated ANSI string (copied).
    static constexpr UINT kSetText = WM_USER + 300;
    // Sets the picture: wParam is a bitmap resource id (0: none).
    static constexpr UINT kSetBitmap = WM_USER + 301;

    ~TextProgressBar() override;

    // Creates the strip as child `id` of `parent` at `area` (client coordinates), visible and empty.
    bool Create(HWND parent, UINT id, const RECT& area);

    // The one-line forms of the messages above, for any thread.
    static void SetPos(HWND strip, int position) { ::SendMessageA(strip, PBM_SETPOS, position, 0); }
    static void SetText(HWND strip, const std::string& text) {
        ::SendMessageA(strip, kSetText, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    static void SetBitmap(HWND strip, UINT bitmapId) { ::SendMessageA(strip, kSetBitmap, bitmapId, 0); }

    const std::string& Text() const { return text_; }
    UINT BitmapId() const { return bitmapId_; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void PaintOverlay();

    std::string text_;
    UINT bitmapId_ = 0;
    HBITMAP bitmap_ = nullptr;
};
