// Times the file wipe engine on one large file: one custom pass, six custom passes and the NSA
// scheme, through the real overwrites with their progress dialog, 4 MiB blocks and a flush per pass.
//
//     wipe_bench FILE
//
// prints one line per scheme: its name, the seconds it took and the bytes it wrote. The file keeps
// its size (the NSA tail is cut off again).
//
//     wipe_bench --tree FOLDER FILES
//
// erases FOLDER (which holds FILES files) as the erase-all command does with one custom pass, and
// prints "engine-erase-all SECONDS FILES".
#include <windows.h>

#include <cstdio>
#include <string>

#include "EraseProgressDlg.h"
#include "GbkText.h"
#include "WinApp.h"
#include "WiperView.h"

namespace {

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

// One erase-all run over a list holding only `folder`, with one pass of 0x00 and no other option.
int EraseTree(const std::string& folder, const char* files) {
    CWinApp app("Purgix");
    HWND parent = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    CWiperView view;
    if (!view.CreateView(parent, AFX_IDW_PANE_FIRST)) return 1;
    view.iniPath = gbk::FolderOf(folder) + "\\bench-main.ini";
    view.logPath = gbk::FolderOf(folder) + "\\bench-log.txt";
    const char ini[] = "[advance]\r\nradio=1\r\nSaveList=0\r\nBufferSize=1\r\nEraserTimes=1\r\nwipe1=0\r\n"
                       "wipe2=0\r\nwipe3=0\r\nwipe4=0\r\nwipe5=0\r\nwipe6=0\r\nlog=0\r\n";
    HANDLE file = ::CreateFileA(view.iniPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, ini, sizeof ini - 1, &written, nullptr);
    ::CloseHandle(file);
    // The list as the program shows it: its columns come with the first update, from an empty saved list.
    view.listSavePath = gbk::FolderOf(folder) + "\\bench-list.ini";
    ::CloseHandle(::CreateFileA(view.listSavePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    view.OnInitialUpdate();
    view.AddFolderItem(folder);
    if (view.GetItemCount() != 1) return 1;
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    view.EraseAllRun();
    ::QueryPerformanceCounter(&end);
    bool erased = view.GetItemCount() == 0;
    ::DeleteFileA(view.iniPath.c_str());
    ::DeleteFileA(view.listSavePath.c_str());
    view.DestroyWindow();
    ::DestroyWindow(parent);
    if (!erased) return 1;
    std::printf("engine-erase-all %.3f %s\n", Seconds(start, end), files);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--tree") return EraseTree(argv[2], argv[3]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: wipe_bench FILE | wipe_bench --tree FOLDER FILES\n");
        return 2;
    }
    const std::string path = argv[1];
    CWinApp app("Purgix");
    HWND parent = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    CWiperView view;
    if (!view.CreateView(parent, AFX_IDW_PANE_FIRST)) return 1;
    view.settings.pattern = kPattern0000;
    view.settings.bufferBytes = 4 << 20;
    const uint64_t size = QueryWipeSize(path);
    if (size == ~0ull) return 1;

    struct Scheme {
        const char* name;
        bool nsa;
        int passes;
    } schemes[] = {{"custom-1-pass", false, 1}, {"custom-6-passes", false, 6}, {"nsa-12-passes", true, 12}};
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    for (const Scheme& scheme : schemes) {
        if (!CreateProgressDialog()) return 1;
        view.settings.passes = scheme.passes;
        view.StageCounter = 0;
        view.stageBase = view.delta = 0;
        g_progressTotals.Reset();
        g_progressTotals.total = size;
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        bool done = scheme.nsa ? view.NsaOverwrite(path, FILE_ATTRIBUTE_NORMAL)
                               : view.CustomOverwrite(path, FILE_ATTRIBUTE_NORMAL, false);
        ::QueryPerformanceCounter(&end);
        DestroyProgressDialog();
        if (!done) return 1;
        double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        std::printf("%s %.3f %llu\n", scheme.name, seconds, static_cast<unsigned long long>(size * scheme.passes));
        std::fflush(stdout);
        if (scheme.nsa) {
            HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            LARGE_INTEGER length;
            length.QuadPart = static_cast<LONGLONG>(size);
            ::SetFilePointerEx(file, length, nullptr, FILE_BEGIN);
            ::SetEndOfFile(file);
            ::CloseHandle(file);
        }
    }
    view.DestroyWindow();
    ::DestroyWindow(parent);
    return 0;
}
