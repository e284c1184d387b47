#include "SystemInfoDlg.h"

#include "WinApp.h"
#include "resource.h"

namespace {

// The image list's pictures in image order: computer, CPU, memory, logical drive, disk, CD-ROM, root.
const UINT kTreeIcons[] = {IDI_SYSINFO_COMPUTER, IDI_SYSINFO_CPU, IDI_SYSINFO_MEMORY, IDI_SYSINFO_LOGICAL,
                           IDI_SYSINFO_DISK, IDI_SYSINFO_CDROM, IDI_SYSINFO_ROOT};
const int kIconSize = 16;

HICON LoadIconSized(UINT id, int size) {
    return static_cast<HICON>(::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_SHARED));
}

}  // namespace

CSystemInfoDlg::CSystemInfoDlg(HWND parent, IdeDeviceIo* io)
    : CDialog(IDD_SYSTEM_INFO, parent), io_(io ? io : &devices_) {}

bool CSystemInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    tree_.m_hWnd = ::GetDlgItem(m_hWnd, IDC_SYSINFO_TREE);
    const int count = static_cast<int>(sizeof kTreeIcons / sizeof kTreeIcons[0]);
    images_.Create(kIconSize, kIconSize, ILC_COLOR32 | ILC_MASK, count, count);
    for (UINT id : kTreeIcons) images_.Add(LoadIconSized(id, kIconSize));
    tree_.SetImageList(images_);

    GatherSystemInfo(info_, *io_);

    const ReportNode root = BuildReportTree(info_, [](unsigned id) { return AfxLoadString(id); });
    Insert(root, TVI_ROOT);
    tree_.Expand(tree_.GetRootItem(), TVE_EXPAND);
    SetIcon(LoadIconSized(IDI_SYSINFO_ROOT, ::GetSystemMetrics(SM_CXICON)), true);
    return true;
}

void CSystemInfoDlg::Insert(const ReportNode& node, HTREEITEM parent) {
    HTREEITEM item = tree_.InsertItem(node.text, node.image, parent, TVI_LAST);
    for (const ReportNode& child : node.children) Insert(child, item);
}
