#pragma once
// Looking at and reading the windows of other processes. All texts here are GBK, as the ANSI API
// gives them.
#include <windows.h>

#include <string>
#include <vector>

#include "Script.h"

bool TextMatches(const std::string& actual, const std::string& wanted, Match match);

// What a top-level window must have; empty fields are not looked at.
struct WindowQuery {
    std::string title;
    Match titleMatch = Match::Exact;
    std::string className;
    DWORD processId = 0;
    // Message boxes: the text one of the dialog's static controls must have.
    std::string text;
    Match textMatch = Match::Exact;
    bool hasText = false;
};

// The visible top-level windows (owned ones included) that satisfy `query`.
std::vector<HWND> FindTopWindows(const WindowQuery& query);

// Returns once the window's thread has handled a sent message (or did not within a few seconds).
void Ping(HWND window);

// The text of any window, also of a control in another process (WM_GETTEXT is carried across
// processes). Throws Failure when the window does not answer.
std::string GetText(HWND window);
// Sends WM_SETTEXT; throws Failure when the window does not answer or refuses.
void SetText(HWND window, const std::string& text);
std::string GetClass(HWND window);
// The non-empty texts of the static controls of a dialog (what a message box says).
std::vector<std::string> StaticTexts(HWND dialog);

// The descendant of `parent` with control id `id` (compared as 16 bits, so -1 and 0xFFFF are the
// same); a visible one is preferred over a hidden one (property pages share ids). Null when none.
HWND FindControl(HWND parent, int id);

// The visible, enabled buttons among the children of `dialog`, as "id" numbers and texts (for
// messages).
std::string DescribeButtons(HWND dialog);
// "class "title"" of a window, in UTF-8, for messages.
std::string Describe(HWND window);

// The rows of a list view in another process, one text per column. The target must have the same
// width as this program (LVITEMA holds a pointer); throws Failure otherwise.
std::vector<std::vector<std::string>> ReadListView(HWND list);

// Selects, as a click does, the rows of a list view (or the entry of a drop-down list) whose first
// text ends with `ending` (GBK), and tells the owner as the control would (NM_CLICK, CBN_SELCHANGE).
// Returns how many were selected.
int SelectItems(HWND control, const std::string& ending);
