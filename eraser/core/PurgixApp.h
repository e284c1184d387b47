#pragma once
// The eraser's application object: what must hold before the main window appears, and what is
// released at exit.
#include "WinApp.h"

class CPurgixApp : public CWinApp {
public:
    CPurgixApp();

    bool InitInstance() override;
    int ExitInstance() override;
    bool OnCommand(UINT id) override;

private:
    void OnAbout();

    HANDLE instanceMutex_ = nullptr;
    bool socketsStarted_ = false;
    bool aboutOpen_ = false;
};

// The single-instance mutex's name.
extern const char kPurgixMutexName[];
