#include "FileException.h"

#include "UiSeam.h"

namespace {

struct OsErrorCause {
    DWORD osError;
    int cause;
};

// System errors a file operation can meet, by the cause the user is told. Anything else is a
// generic error.
const OsErrorCause kOsErrorCauses[] = {
    {ERROR_SUCCESS, CFileException::none},
    {ERROR_FILE_NOT_FOUND, CFileException::fileNotFound},
    {ERROR_PATH_NOT_FOUND, CFileException::badPath},
    {ERROR_INVALID_DRIVE, CFileException::badPath},
    {ERROR_INVALID_NAME, CFileException::badPath},
    {ERROR_BAD_PATHNAME, CFileException::badPath},
    {ERROR_BAD_NETPATH, CFileException::badPath},
    {ERROR_BAD_NET_NAME, CFileException::badPath},
    {ERROR_DEV_NOT_EXIST, CFileException::badPath},
    {ERROR_FILENAME_EXCED_RANGE, CFileException::badPath},
    {ERROR_DIRECTORY, CFileException::badPath},
    {ERROR_TOO_MANY_OPEN_FILES, CFileException::tooManyOpenFiles},
    {ERROR_ACCESS_DENIED, CFileException::accessDenied},
    {ERROR_INVALID_ACCESS, CFileException::accessDenied},
    {ERROR_WRITE_PROTECT, CFileException::accessDenied},
    {ERROR_NETWORK_ACCESS_DENIED, CFileException::accessDenied},
    {ERROR_DRIVE_LOCKED, CFileException::accessDenied},
    {ERROR_INVALID_HANDLE, CFileException::invalidFile},
    {ERROR_CURRENT_DIRECTORY, CFileException::removeCurrentDir},
    {ERROR_CANNOT_MAKE, CFileException::directoryFull},
    {ERROR_NEGATIVE_SEEK, CFileException::badSeek},
    {ERROR_SEEK_ON_DEVICE, CFileException::badSeek},
    {ERROR_NOT_READY, CFileException::hardIO},
    {ERROR_CRC, CFileException::hardIO},
    {ERROR_SEEK, CFileException::hardIO},
    {ERROR_SECTOR_NOT_FOUND, CFileException::hardIO},
    {ERROR_WRITE_FAULT, CFileException::hardIO},
    {ERROR_READ_FAULT, CFileException::hardIO},
    {ERROR_GEN_FAILURE, CFileException::hardIO},
    {ERROR_IO_DEVICE, CFileException::hardIO},
    {ERROR_SHARING_VIOLATION, CFileException::sharingViolation},
    {ERROR_LOCK_VIOLATION, CFileException::lockViolation},
    {ERROR_LOCK_FAILED, CFileException::lockViolation},
    {ERROR_DISK_FULL, CFileException::diskFull},
    {ERROR_HANDLE_DISK_FULL, CFileException::diskFull},
    {ERROR_HANDLE_EOF, CFileException::endOfFile},
};

// One text per cause, indexed by the cause; "%s" stands for the file name.
const char* const kMessages[] = {
    "操作 %s 时没有发生错误。",
    "访问 %s 时发生了意外错误。",
    "找不到文件 %s。",
    "%s 的路径无效或不存在。",
    "打开的文件过多，无法打开 %s。",
    "拒绝访问 %s。",
    "%s 的文件句柄无效。",
    "%s 是当前目录，不能删除。",
    "目录已满，无法创建 %s。",
    "在 %s 中移动读写位置时出错。",
    "访问 %s 时发生硬件读写错误。",
    "%s 正被另一个程序使用，无法共享访问。",
    "%s 中要访问的区域已被另一个程序锁定。",
    "磁盘已满，无法写入 %s。",
    "读取 %s 时已越过文件末尾。",
};
static_assert(sizeof kMessages / sizeof kMessages[0] == CFileException::endOfFile + 1, "one text per cause");

// Shown in place of the name when the exception names no file.
const char kUnnamedFile[] = "未命名文件";

}  // namespace

int CFileException::OsErrorToCause(DWORD osError) {
    for (const OsErrorCause& entry : kOsErrorCauses) {
        if (entry.osError == osError) return entry.cause;
    }
    return genericException;
}

void CFileException::ThrowOsError(DWORD osError, const std::string& fileName) {
    throw CFileException(OsErrorToCause(osError), static_cast<LONG>(osError), fileName);
}

std::string CFileException::GetErrorMessage() const {
    int cause = m_cause >= none && m_cause <= endOfFile ? m_cause : genericException;
    // '%' is never a GBK trail byte, so a byte search finds the placeholder and nothing else.
    std::string text = kMessages[cause];
    size_t slot = text.find("%s");
    text.replace(slot, 2, m_strFileName.empty() ? std::string(kUnnamedFile) : m_strFileName);
    return text;
}

int CFileException::ReportError(UINT flags) const { return AfxMessageBox(GetErrorMessage(), flags); }

const char* CFileException::what() const noexcept {
    try {
        whatText_ = GetErrorMessage();
    } catch (...) {
        return "CFileException";
    }
    return whatText_.c_str();
}
