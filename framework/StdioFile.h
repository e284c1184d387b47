#pragma once
// A file read and written through a C runtime stream. Text mode (the default) turns a written "\n"
// into CR LF and a read CR LF into "\n"; a lone CR passes unchanged both ways, so "x\r\n" written
// gives the bytes "x" CR CR LF and reads back as the line "x\r". typeBinary leaves bytes alone.
#include <cstdio>
#include <string>

#include "File.h"

class CStdioFile : public CFile {
public:
    CStdioFile() = default;
    ~CStdioFile() override;

    // Opens as CFile does (the same flags, causes and system errors), then puts a stream over the
    // handle: text mode unless `flags` holds typeBinary, whatever the runtime's default mode is.
    bool Open(const std::string& path, UINT flags, CFileException* error = nullptr) override;

    // Reads the next line into `line` without its "\n". Returns false at the end of the file, when
    // no byte was left to read; a last line without a terminator is still returned.
    bool ReadString(std::string& line);
    // Writes `text` as it is (in text mode each "\n" becomes CR LF).
    void WriteString(const std::string& text);

    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    uint64_t Seek(int64_t offset, UINT from) override;
    uint64_t GetPosition() const override;
    uint64_t GetLength() const override;
    void SetLength(uint64_t length) override;
    void Flush() override;
    void Close() override;
    void Abort() override;

    FILE* m_pStream = nullptr;  // null while closed
};
