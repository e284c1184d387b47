#pragma once
// The eraser's main window: menu 128 with its accelerators, icon 128, and the erase-list view.
#include "FrameWnd.h"

class CMainFrame : public CFrameWnd {};
