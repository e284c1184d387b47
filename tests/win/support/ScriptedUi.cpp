#include "ScriptedUi.h"

#include <cderr.h>

#include <cstring>

ScriptedUi::ScriptedUi() : previous_(SetUi(this)) {}

ScriptedUi::~ScriptedUi() { SetUi(previous_); }

std::vector<std::string> ScriptedUi::MessageTexts() const {
    std::vector<std::string> texts;
    for (const Call& call : calls_) {
        if (call.kind == "ShowMessage") texts.push_back(call.text);
    }
    return texts;
}

int ScriptedUi::ShowMessage(HWND, const std::string& text, const std::string& caption, UINT flags) {
    calls_.push_back({"ShowMessage", text, caption, flags});
    if (!messageAnswers_.empty()) {
        int answer = messageAnswers_.front();
        messageAnswers_.pop_front();
        return answer;
    }
    UINT buttons = flags & MB_TYPEMASK;
    return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
}

bool ScriptedUi::ChooseFiles(OPENFILENAMEA& ofn) {
    calls_.push_back({"ChooseFiles", ofn.lpstrTitle ? ofn.lpstrTitle : "", ofn.lpstrFilter ? ofn.lpstrFilter : "",
                      static_cast<UINT>(ofn.Flags)});
    chooseError_ = 0;
    if (openAnswers_.empty()) return false;
    std::vector<std::string> paths = openAnswers_.front();
    openAnswers_.pop_front();
    // One path: the full path. Several: the folder, then each name, each ended by a NUL, then a NUL.
    std::string buffer;
    if (paths.size() == 1) {
        buffer = paths[0];
        buffer.push_back('\0');
    } else {
        for (const std::string& part : paths) {
            buffer += part;
            buffer.push_back('\0');
        }
    }
    buffer.push_back('\0');
    if (buffer.size() > ofn.nMaxFile) {
        chooseError_ = FNERR_BUFFERTOOSMALL;
        return false;
    }
    std::memcpy(ofn.lpstrFile, buffer.data(), buffer.size());
    return true;
}

bool ScriptedUi::BrowseForFolder(HWND, const std::string& title, std::string& path) {
    calls_.push_back({"BrowseForFolder", title, "", 0});
    if (folderAnswers_.empty()) return false;
    path = folderAnswers_.front();
    folderAnswers_.pop_front();
    return true;
}

bool ScriptedUi::PickColor(HWND, COLORREF& color) {
    calls_.push_back({"PickColor", "", "", static_cast<UINT>(color)});
    if (colorAnswers_.empty()) return false;
    color = colorAnswers_.front();
    colorAnswers_.pop_front();
    return true;
}

UINT ScriptedUi::WinExec(const std::string& commandLine, UINT show) {
    calls_.push_back({"WinExec", commandLine, "", show});
    return 33;
}

bool ScriptedUi::RunAndWait(const std::string& commandLine, UINT show, DWORD timeoutMs) {
    calls_.push_back({"RunAndWait", commandLine, "", show});
    return runPrograms ? Win32UiSeam().RunAndWait(commandLine, show, timeoutMs) : true;
}

HINSTANCE ScriptedUi::ShellOpen(HWND, const std::string& verb, const std::string& file,
                                   const std::string& parameters, const std::string&, int show) {
    calls_.push_back({"ShellOpen", file, verb + "|" + parameters, static_cast<UINT>(show)});
    INT_PTR result = 33;
    if (!shellAnswers_.empty()) {
        result = shellAnswers_.front();
        shellAnswers_.pop_front();
    }
    return reinterpret_cast<HINSTANCE>(result);
}

HWND ScriptedUi::ShowHelp(const std::string& topic) {
    calls_.push_back({"ShowHelp", topic, "", 0});
    return nullptr;
}
