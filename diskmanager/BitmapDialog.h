#pragma once
// A dialog with a picture behind its controls: a device-independent bitmap from the resources,
// tiled, stretched or centred, with its own palette on 256-colour displays; static texts and
// buttons are drawn transparently over it.
#include <windows.h>

#include <vector>

#include "Dialog.h"

// A DIB from the resources: header, colour table and bits, drawn with the device's stretching.
class CDIBitmap {
public:
    bool Load(UINT id);
    bool IsLoaded() const { return !info_.empty(); }
    int Width() const;
    int Height() const;
    // The colour table (empty for a true-colour bitmap).
    const RGBQUAD* Colors() const;
    int ColorCount() const;
    // Draws the whole bitmap into the rectangle (x, y, width, height).
    void Draw(HDC dc, int x, int y, int width, int height) const;

private:
    std::vector<BYTE> info_;  // BITMAPINFOHEADER and the colour table
    const BYTE* bits_ = nullptr;
};

// The palette built from a DIB's colour table.
class CBmpPalette {
public:
    ~CBmpPalette() { Reset(); }
    bool Create(const CDIBitmap& bitmap);
    void Reset();
    HPALETTE Handle() const { return palette_; }

private:
    HPALETTE palette_ = nullptr;
};

class CBitmapDialog : public CDialog {
public:
    enum DrawMode { kTile = 0, kStretch = 1, kCentre = 2 };

    CBitmapDialog(UINT templateId, HWND parent = nullptr) : CDialog(templateId, parent) {}
    ~CBitmapDialog() override;

    // The bitmap resource behind the dialog and how it is laid out.
    bool SetBitmap(UINT id, DrawMode mode = kTile);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Paint(HDC dc);
    // Selects and realises the palette into the window's DC; true when colours changed.
    bool RealizePalette();

    CDIBitmap bitmap_;
    CBmpPalette palette_;
    HBRUSH hollow_ = static_cast<HBRUSH>(::GetStockObject(HOLLOW_BRUSH));
    DrawMode mode_ = kTile;
};
