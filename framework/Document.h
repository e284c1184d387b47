#pragma once
// The document of a document/view program.
#include <string>

class CDocument {
public:
    virtual ~CDocument() = default;

    // A new, empty document; false refuses it (the program's start then fails).
    virtual bool OnNewDocument() { return true; }
    // Opening a document file named on the command line. Documents that keep no files of their own
    // check only that the file can be opened, reporting the file error when it cannot.
    virtual bool OnOpenDocument(const std::string& path);

    void SetTitle(const std::string& title) { m_strTitle = title; }
    const std::string& GetTitle() const { return m_strTitle; }

    std::string m_strTitle;
};
