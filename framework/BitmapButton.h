#pragma once
// A push button that shows bitmaps instead of a caption: one for the normal state, and optionally
// one each for pressed, focused and disabled (the normal one stands in for a missing one). The
// button from the template is made owner-drawn and sized to its normal bitmap.
#include <windows.h>

#include <stdexcept>

#include "Controls.h"

// A resource (here a bitmap) could not be loaded.
class CResourceException : public std::runtime_error {
public:
    explicit CResourceException(UINT id);
    UINT id;
};

class CBitmapButton : public CButton {
public:
    CBitmapButton() = default;
    CBitmapButton(const CBitmapButton&) = delete;
    CBitmapButton& operator=(const CBitmapButton&) = delete;
    ~CBitmapButton() override;

    // Loads the bitmaps (0: none) from the resource module, replacing any loaded before. Throws
    // CResourceException when one of them is missing; the button then keeps none.
    void LoadBitmaps(UINT normal, UINT selected = 0, UINT focus = 0, UINT disabled = 0);
    // Takes over control `id` of `parent`, makes it owner-drawn and sizes it to the normal bitmap.
    bool SubclassDlgItem(int id, const CWnd& parent);
    void SizeToContent();

    // The bitmap the button shows for an owner-draw state (ODS_SELECTED, ODS_FOCUS, ODS_DISABLED).
    HBITMAP BitmapFor(UINT state) const;

protected:
    bool DrawItem(const DRAWITEMSTRUCT& item) override;

private:
    void FreeBitmaps();

    HBITMAP normal_ = nullptr, selected_ = nullptr, focus_ = nullptr, disabled_ = nullptr;
};
