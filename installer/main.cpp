#include "DrivsetApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    CDrivsetApp app;
    return AfxWinMain(instance, commandLine, show);
}
