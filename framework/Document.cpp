#include "Document.h"

#include "File.h"
#include "FileException.h"

bool CDocument::OnOpenDocument(const std::string& path) {
    CFile file;
    CFileException error;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite, &error)) {
        error.ReportError();
        return false;
    }
    return true;
}
