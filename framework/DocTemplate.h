#pragma once
// The single-document template: makes the one document, its frame and its view together.
#include <functional>
#include <memory>
#include <string>

#include "Document.h"
#include "FormView.h"
#include "FrameWnd.h"

class CSingleDocTemplate {
public:
    using DocumentFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<std::unique_ptr<CFrameWnd>()>;
    using ViewFactory = std::function<std::unique_ptr<CFormView>()>;

    // `resourceId` names the frame's menu, accelerators and icon and the document string, whose
    // second "\n"-separated field is the document's name.
    CSingleDocTemplate(UINT resourceId, DocumentFactory document, FrameFactory frame, ViewFactory view);

    // Makes the document (new when `path` is empty, else opened from it), the frame and the view,
    // makes the frame the application's main window and runs the view's initial update. The frame
    // stays hidden. Returns null on failure, with nothing left behind.
    CDocument* OpenDocumentFile(const std::string& path);

    CDocument* GetDocument() const { return document_.get(); }
    CFrameWnd* GetFrame() const { return frame_.get(); }
    CFormView* GetView() const { return view_.get(); }

private:
    UINT resourceId_;
    DocumentFactory makeDocument_;
    FrameFactory makeFrame_;
    ViewFactory makeView_;
    std::unique_ptr<CDocument> document_;
    std::unique_ptr<CFrameWnd> frame_;
    std::unique_ptr<CFormView> view_;
};

// The command line as the framework reads it: flags ("/x" or "-x") and one file name.
class CCommandLineInfo {
public:
    enum ShellCommand { FileNew, FileOpen };

    virtual ~CCommandLineInfo() = default;
    // One argument, without its "/" or "-" when `isFlag`. Unknown flags are ignored.
    virtual void ParseParam(const std::string& param, bool isFlag, bool isLast);

    ShellCommand m_nShellCommand = FileNew;
    std::string m_strFileName;
};
