#include "PurgixApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    CPurgixApp app;
    return AfxWinMain(instance, commandLine, show);
}
