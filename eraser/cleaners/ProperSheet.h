#pragma once
// Purgix's settings sheet: captioned "Purgix" with the program's icon, OK and Cancel without Apply,
// and the word "Purgix " engraved in the button row.
#include "PropertySheet.h"
#include "Wnd.h"

class CProperSheet : public CPropertySheet {
public:
    // `selectPage`: the index of the page shown first.
    explicit CProperSheet(HWND parent = nullptr, UINT selectPage = 0);

protected:
    void OnInitialized() override;

private:
    // The sheet window's own procedure paints first; this draws the engraved word over it.
    class CEngraving : public CWnd {
    protected:
        LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    };

    CEngraving engraving_;
};

// Draws "Purgix " left of OK in `sheet`'s button row: once in green one pixel down and right, once
// in the button-shadow colour, 20 pixels high, bold italic.
void PaintEngraving(HWND sheet, HDC dc);
