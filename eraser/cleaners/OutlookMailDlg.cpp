#include "OutlookMailDlg.h"

#include <cstdio>
#include <vector>

#include "BlockWrite.h"
#include "DialogPacer.h"
#include "File.h"
#include "FileException.h"
#include "GbkText.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const char kVersionsKey[] = "\\SoftWare\\Microsoft\\Outlook Express";
// The deleted-items store: its name in Chinese editions first, then the English one.
const char* const kStoreNames[] = {"已删除邮件.dbx", "Deleted Items.dbx"};
const size_t kValueBuffer = 300;
// Paths live in 260-byte buffers: 259 characters and the terminating zero.
const size_t kMaxPathChars = MAX_PATH - 1;
const uint32_t kBlock = 512;
const char kPathTooLong[] = "\n路径太长, 无法处理!";

// A string value of `key`; the buffer grows once to the length the first query reported.
bool QueryString(HKEY key, const char* name, std::string& value) {
    std::vector<char> buffer(kValueBuffer);
    DWORD size = static_cast<DWORD>(buffer.size());
    LONG status = ::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status == ERROR_MORE_DATA) {
        buffer.assign(size + 1, 0);
        size = static_cast<DWORD>(buffer.size());
        status = ::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size);
    }
    if (status != ERROR_SUCCESS) return false;
    buffer.resize(std::min<size_t>(size, buffer.size()));
    value.assign(buffer.data(), ::strnlen(buffer.data(), buffer.size()));
    return true;
}

bool Exists(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    ::FindClose(search);
    return true;
}

uint64_t SizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

std::string FindOutlookStoreFolder() {
    const bool ntFamily = !(::GetVersion() & 0x80000000);
    HKEY identities;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Identities", 0, KEY_QUERY_VALUE, &identities) != ERROR_SUCCESS) return "";
    std::string id, root;
    bool found = false;
    if (QueryString(identities, "Default User ID", id)) {
        const std::string base = "Identities\\" + id + kVersionsKey;
        const struct {
            const char* version;
            REGSAM access;
        } kVersions[] = {{"\\4.0", KEY_QUERY_VALUE}, {"\\5.0", KEY_ALL_ACCESS}, {"\\6.0", KEY_QUERY_VALUE},
                         {"\\7.0", KEY_QUERY_VALUE}};
        for (const auto& version : kVersions) {
            HKEY key;
            if (::RegOpenKeyExA(HKEY_CURRENT_USER, (base + version.version).c_str(), 0, version.access, &key) !=
                ERROR_SUCCESS) {
                continue;
            }
            found = QueryString(key, "Store Root", root);
            ::RegCloseKey(key);
            break;
        }
    }
    ::RegCloseKey(identities);
    if (!found || !ntFamily) return found ? root : "";
    DWORD needed = ::ExpandEnvironmentStringsA(root.c_str(), nullptr, 0);
    if (needed == 0) return root;
    std::vector<char> expanded(needed + 1);
    ::ExpandEnvironmentStringsA(root.c_str(), expanded.data(), needed + 1);
    return expanded.data();
}

std::string MailSizeText(uint64_t size) {
    char text[64];
    if (size < 1024) {
        std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(size));
        return text + AfxLoadString(IDS_BYTES);
    }
    const struct {
        uint64_t unit;
        const char* format;
    } kUnits[] = {{1ull << 30, "%.2f GB"}, {1ull << 20, "%.2f MB"}, {1ull << 10, "%.2f KB"}};
    for (const auto& unit : kUnits) {
        if (size >= unit.unit) {
            std::snprintf(text, sizeof text, unit.format, static_cast<double>(size / unit.unit));
            break;
        }
    }
    return text;
}

COutlookMailDlg::COutlookMailDlg(HWND parent)
    : CDialog(IDD_OUTLOOK_MAIL, parent), logPath(ProgramDirectory() + "log.txt") {}

void COutlookMailDlg::DoDataExchange(CDataExchange* dx) { progress_.m_hWnd = dx->Control(IDC_CLEANER_PROGRESS); }

bool COutlookMailDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    std::string folder = FindOutlookStoreFolder();
    // Without its backslash the folder itself is looked up; with it, the file path needs none more.
    bool endsInBackslash = !folder.empty() && gbk::FindLastBackslash(folder) == folder.size() - 1;
    std::string folderLookup = endsInBackslash ? folder.substr(0, folder.size() - 1) : folder;
    std::string prefix = endsInBackslash ? folder : folder + "\\";
    bool fileFound = false;
    for (const char* name : kStoreNames) {
        storePath = prefix + name;
        if (storePath.size() > kMaxPathChars) {
            // Cut short, the path would name another file: refused whole.
            AfxMessageBox(storePath + kPathTooLong);
            EndDialog(IDOK);
            return false;
        }
        if ((fileFound = Exists(storePath))) break;
    }
    if (folder.empty() || !Exists(folderLookup)) {
        AfxMessageBox(AfxLoadString(IDS_OUTLOOK_MISSING));
        EndDialog(IDOK);
        return false;
    }
    if (!fileFound) {
        GetDlgItem(IDOK).EnableWindow(false);
        AfxMessageBox(AfxLoadString(IDS_MAIL_ALREADY_WIPED));
        EndDialog(IDOK);
        return true;
    }
    std::string sizeText = MailSizeText(SizeOf(storePath));
    CFile probe;
    if (!probe.Open(storePath, CFile::modeWrite | CFile::shareExclusive)) {
        AfxMessageBox(AfxLoadString(IDS_CLOSE_OUTLOOK));
        EndDialog(IDOK);
        return true;
    }
    probe.Abort();
    SetDlgItemText(IDC_MAIL_SIZE, sizeText);
    return true;
}

void COutlookMailDlg::OnCancel() {
    cancelFlag = 1;
    CDialog::OnCancel();
}

void COutlookMailDlg::OnOK() {
    // The log must be writable before anything is wiped.
    ::SetFileAttributesA(logPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    {
        CFile log;
        CFileException error;
        if (!log.Open(logPath, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite, &error)) {
            error.ReportError();
            return;
        }
        log.Abort();
    }
    if (!Exists(storePath)) {
        progress_.SetPos(0);
        const std::string notFound = AfxLoadString(IDS_FILE_NOT_FOUND);
        AppendLogEntry(logPath, notFound);
        if (AfxMessageBox(notFound) == IDOK) EndDialog(IDOK);
        return;
    }
    const uint64_t size = SizeOf(storePath);
    CFile store;
    if (!store.Open(storePath, CFile::modeWrite | CFile::shareExclusive)) {
        AfxMessageBox(AfxLoadString(IDS_CLOSE_OUTLOOK));
        EndDialog(IDOK);
        return;
    }

    // The bar after each block.
    struct MailPacer : DialogPacer {
        COutlookMailDlg& dialog;
        uint64_t size, written = 0;
        MailPacer(COutlookMailDlg& d, uint64_t s) : DialogPacer(d.m_hWnd, d.cancelFlag), dialog(d), size(s) {}
        void AfterBlock(uint32_t bytes) override {
            written += bytes;
            uint64_t percent = size / 100 ? written / (size / 100) : written * 100 / size;
            dialog.progress_.SetPos(static_cast<int>(percent + 3));
        }
    } pacer(*this, size);
    const std::vector<unsigned char> zeros(kBlock, 0);
    try {
        bool complete = WriteBlocks(store, zeros.data(), kBlock, size, pacer);
        // Zeros that only reached the cache would not outlive the deletion.
        FlushToDisk(store);
        if (!complete) {
            // Cancelled: the file stays, zeroed as far as the wipe got; nothing is logged.
            store.Close();
            return;
        }
    } catch (const CFileException& error) {
        store.Abort();
        error.ReportError();
        EndDialog(IDCANCEL);
        return;
    }
    const std::string wiped = AfxLoadString(IDS_MAIL_WIPED);
    AppendLogEntry(logPath, wiped);
    if (AfxMessageBox(wiped) == IDOK) EndDialog(IDOK);
    store.Abort();
    ::DeleteFileA(storePath.c_str());
}
