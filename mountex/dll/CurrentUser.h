#pragma once
// The security identifier of the user this process runs as, for the access lists the library gives
// the folders and volumes of its disks.
#include <windows.h>

#include <vector>

namespace mountex {

// Fills `buffer` with the process token's TOKEN_USER; null when it cannot be read. The returned
// SID lives in `buffer`.
inline PSID CurrentUserSid(std::vector<BYTE>& buffer) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    buffer.assign(size ? size : 1, 0);
    const bool known = ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) != FALSE;
    ::CloseHandle(token);
    return known ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid : nullptr;
}

}  // namespace mountex
