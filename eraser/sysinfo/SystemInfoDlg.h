#pragma once
// The system-information dialog (template 397, "计算机信息"): one tree (1024) with the report,
// gathered once while the dialog initialises; OK and Cancel both just close it.
#include <windows.h>

#include "Dialog.h"
#include "ImageList.h"
#include "SystemGather.h"
#include "SystemReport.h"
#include "TreeCtrl.h"

class CSystemInfoDlg : public CDialog {
public:
    // `io` answers the IDE identify requests; null means the devices themselves.
    explicit CSystemInfoDlg(HWND parent = nullptr, IdeDeviceIo* io = nullptr);

    // What the dialog gathered; all empty or 0 until it has initialised.
    const SystemInfo& Info() const { return info_; }
    CTreeCtrl& Tree() { return tree_; }

protected:
    bool OnInitDialog() override;

private:
    void Insert(const ReportNode& node, HTREEITEM parent);

    SystemInfo info_;
    Win32IdeDeviceIo devices_;
    IdeDeviceIo* io_;
    CImageList images_;
    CTreeCtrl tree_;
};
