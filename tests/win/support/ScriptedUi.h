#pragma once
// The scripted double of the UI seam: records every call and answers from a script. Installed for
// the lifetime of the object.
#include <deque>
#include <string>
#include <vector>

#include "UiSeam.h"

class ScriptedUi : public UiSeam {
public:
    struct Call {
        std::string kind;     // "ShowMessage", "ChooseFiles", "BrowseForFolder", "PickColor",
                              // "WinExec", "RunAndWait", "ShellOpen", "ShowHelp"
        std::string text;     // message text, command line, file, topic or dialog title
        std::string caption;  // message caption, or the verb and parameters of ShellExecute
        UINT flags = 0;       // message-box flags, show command, or the colour a colour dialog began with
    };

    ScriptedUi();
    ~ScriptedUi() override;

    // Answers, consumed in order. A message box with no scripted answer gets IDOK (IDYES for
    // MB_YESNO); the dialogs with no scripted answer are cancelled.
    void AnswerMessageBox(int button) { messageAnswers_.push_back(button); }
    void AnswerOpenFile(const std::vector<std::string>& paths) { openAnswers_.push_back(paths); }
    void AnswerFolder(const std::string& path) { folderAnswers_.push_back(path); }
    void AnswerColor(COLORREF color) { colorAnswers_.push_back(color); }
    // What the next ShellOpen returns (33, success, when nothing is scripted; 32 or less is a failure).
    void AnswerShellOpen(INT_PTR result) { shellAnswers_.push_back(result); }

    // RunAndWait really runs the program (through the real seam) when set; otherwise it only records.
    bool runPrograms = false;

    const std::vector<Call>& Calls() const { return calls_; }
    // The texts of every message box shown so far.
    std::vector<std::string> MessageTexts() const;
    void Clear() { calls_.clear(); }

    int ShowMessage(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
    // Answers that do not fit the dialog's buffer fail as the real dialog does: ChooseFilesError
    // then reports FNERR_BUFFERTOOSMALL.
    bool ChooseFiles(OPENFILENAMEA& ofn) override;
    DWORD ChooseFilesError() override { return chooseError_; }
    bool BrowseForFolder(HWND owner, const std::string& title, std::string& path) override;
    bool PickColor(HWND owner, COLORREF& color) override;
    UINT WinExec(const std::string& commandLine, UINT show) override;
    HINSTANCE ShellOpen(HWND owner, const std::string& verb, const std::string& file,
                           const std::string& parameters, const std::string& directory, int show) override;
    bool RunAndWait(const std::string& commandLine, UINT show, DWORD timeoutMs) override;
    HWND ShowHelp(const std::string& topic) override;

private:
    UiSeam* previous_;
    std::vector<Call> calls_;
    std::deque<int> messageAnswers_;
    std::deque<std::vector<std::string>> openAnswers_;
    std::deque<std::string> folderAnswers_;
    std::deque<COLORREF> colorAnswers_;
    std::deque<INT_PTR> shellAnswers_;
    DWORD chooseError_ = 0;
};
