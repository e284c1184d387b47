#pragma once
// The notification-area icon of the main dialog and its menu (menu 137, callback 0x414).
#include <windows.h>
#include <shellapi.h>

class CTrayIcon {
public:
    CTrayIcon();
    ~CTrayIcon() { Remove(); }
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Adds the icon for `owner` (nothing before Windows 95's shell or without a window).
    bool Add(HWND owner, HICON icon);
    void Remove();
    bool Added() const { return added_; }

    // The callback message's wParam and lParam: the right button opens the menu (its second item
    // names what command 32779 will do to the small window), a double click shows the owner.
    LRESULT OnNotify(WPARAM wp, LPARAM lp, bool smallWindowVisible);

private:
    NOTIFYICONDATAA data_;
    bool added_ = false;
};
