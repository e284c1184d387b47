#pragma once
// The progress window of a move into the secret disk (template 160): the file being copied or
// compared, the bytes done of the total, a bar and Cancel. A worker thread runs the move; the
// window shows its progress and asks its replace-or-skip questions on the user-interface thread.
#include <atomic>
#include <string>
#include <vector>

#include "CriticalSection.h"
#include "Dialog.h"
#include "MoveIn.h"

class CMoveInDlg : public CDialog {
public:
    // The items to move into the disk whose root is `root` ("H:\") and whose image is `imagePath`.
    CMoveInDlg(const std::vector<std::string>& items, const std::string& root, const std::string& imagePath,
               HWND parent);
    ~CMoveInDlg() override;

    // After DoModal: whether the move ran, how it ended, and what it moved or where it failed.
    bool Ran() const { return ran_; }
    MoveOutcome Outcome() const { return outcome_; }
    const MoveIn& Move() const { return move_; }

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // Between the worker and the window: the cancel flag, the progress, and the questions (sent to
    // the window, so the message box belongs to its thread).
    class Observer : public MoveObserver {
    public:
        explicit Observer(CMoveInDlg& dialog) : dialog_(dialog) {}
        bool Cancelled() override { return dialog_.cancel_.load(); }
        void Progress(const std::string& source, uint64_t done, uint64_t total) override;
        bool Replace(const std::string& target, bool merge) override;

    private:
        CMoveInDlg& dialog_;
    };

    static DWORD WINAPI Worker(void* self);
    void ShowProgress();

    std::vector<std::string> items_;
    Win32MoveFiles files_;
    Observer observer_;
    MoveIn move_;
    HANDLE worker_ = nullptr;
    std::atomic<bool> cancel_{false};
    bool ran_ = false;
    MoveOutcome outcome_ = MoveOutcome::cancelled;

    CCriticalSection lock_;  // guards the three below
    std::string source_;
    uint64_t done_ = 0, total_ = 0;
};

// A byte count as the move's texts show it: "800 字节", "12 KB", "5.0 MB", "1.25 GB".
std::string MoveSizeText(uint64_t bytes);

// What the user is told when a move ends with `outcome` (empty when nothing is to be said).
// `handedOver`: for a finished move, whether Purgix took the originals.
std::string MoveOutcomeText(const MoveIn& move, MoveOutcome outcome, bool handedOver);
