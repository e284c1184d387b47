#pragma once
// Drivset's application object: reads the command word, installs or removes the driver and ends.
// It opens no window of its own; the outcome is never passed back to the caller.
#include "WinApp.h"

class CDrivsetApp : public CWinApp {
public:
    enum class Command { None, Install, Uninstall };

    CDrivsetApp();

    // The command a whole command line (program path included) asks for: "Uninstall" anywhere wins
    // over "Install" anywhere; both are matched case-sensitively.
    static Command ParseCommand(const char* commandLine);

    // Runs the command and returns false, which ends the program without a message loop.
    bool InitInstance() override;
};
