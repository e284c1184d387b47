#include "DrivsetApp.h"

#include <cstring>

#include "DriverSetup.h"

CDrivsetApp::CDrivsetApp() : CWinApp("Drivset") {}

CDrivsetApp::Command CDrivsetApp::ParseCommand(const char* commandLine) {
    if (!commandLine) return Command::None;
    if (std::strstr(commandLine, "Uninstall")) return Command::Uninstall;
    if (std::strstr(commandLine, "Install")) return Command::Install;
    return Command::None;
}

bool CDrivsetApp::InitInstance() {
    switch (ParseCommand(::GetCommandLineA())) {
    case Command::Uninstall:
        RemoveDriver(kDriverInfName);
        break;
    case Command::Install:
        InstallDriver(kDriverInfName);
        break;
    case Command::None:
        break;
    }
    return false;
}
