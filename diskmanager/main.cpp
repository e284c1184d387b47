#include "LockvaleApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    CLockvaleApp app;
    return AfxWinMain(instance, commandLine, show);
}
