#pragma once
// Lockvale's application object: one copy per session, the Windows-version and driver checks, the
// small status window, then the main dialog until the program ends.
#include <memory>

#include "SmallDlg.h"
#include "WinApp.h"

class CLockvaleApp : public CWinApp {
public:
    CLockvaleApp();
    ~CLockvaleApp() override;

    bool InitInstance() override;
    int ExitInstance() override;

    // The small status window, from start-up to the end of the program (null before and after).
    CSmallDlg* SmallWindow() const { return small_.get(); }

private:
    HANDLE instanceMutex_ = nullptr;
    std::unique_ptr<CSmallDlg> small_;
};

// The running Lockvale application, or nullptr.
CLockvaleApp* LockvaleApp();
