#include "DocTemplate.h"

#include "WinApp.h"

CSingleDocTemplate::CSingleDocTemplate(UINT resourceId, DocumentFactory document, FrameFactory frame,
                                       ViewFactory view)
    : resourceId_(resourceId),
      makeDocument_(std::move(document)),
      makeFrame_(std::move(frame)),
      makeView_(std::move(view)) {}

CDocument* CSingleDocTemplate::OpenDocumentFile(const std::string& path) {
    std::unique_ptr<CDocument> document = makeDocument_();
    bool ready = path.empty() ? document->OnNewDocument() : document->OnOpenDocument(path);
    if (!ready) return nullptr;

    // The document string: "\nName\n..."; the second field names an untitled document.
    std::string docString = AfxLoadString(resourceId_);
    std::string name;
    size_t first = docString.find('\n');
    if (first != std::string::npos) name = docString.substr(first + 1, docString.find('\n', first + 1) - first - 1);
    document->SetTitle(path.empty() ? name : path);

    std::unique_ptr<CFrameWnd> frame = makeFrame_();
    std::string appName = AfxGetApp() ? AfxGetApp()->m_pszAppName : std::string();
    std::string title = document->GetTitle().empty() ? appName : document->GetTitle() + " - " + appName;
    if (!frame->LoadFrame(resourceId_, title)) return nullptr;

    std::unique_ptr<CFormView> view = makeView_();
    view->m_pDocument = document.get();
    if (!view->CreateView(frame->m_hWnd, AFX_IDW_PANE_FIRST)) {
        frame->DestroyWindow();
        return nullptr;
    }
    frame->SetActiveView(view.get());
    frame->RecalcLayout();
    if (AfxGetApp()) AfxGetApp()->m_pMainWnd = frame.get();

    document_ = std::move(document);
    frame_ = std::move(frame);
    view_ = std::move(view);
    view_->OnInitialUpdate();
    return document_.get();
}

void CCommandLineInfo::ParseParam(const std::string& param, bool isFlag, bool isLast) {
    if (isFlag || !m_strFileName.empty()) return;
    m_strFileName = param;
    m_nShellCommand = FileOpen;
}
