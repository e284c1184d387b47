// A stand-in for the system's share library, loaded in its place by the shares tests through a
// DLL override: it serves the share table a test scripts and refuses the withdrawals it names.
#include <windows.h>
#include <lmcons.h>
#include <lmerr.h>
#include <lmshare.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Share {
    std::wstring name, path;
    DWORD type;
    bool refuse;
};
std::vector<Share> shares;
std::wstring deleted;  // the names withdrawn, each followed by '|'

}  // namespace

extern "C" {

__declspec(dllexport) void WINAPI StandInReset() {
    shares.clear();
    deleted.clear();
}

__declspec(dllexport) void WINAPI StandInAddShare(const wchar_t* name, DWORD type, const wchar_t* path, BOOL refuse) {
    shares.push_back({name, path, type, refuse != FALSE});
}

// The withdrawn names as "a|b|", into `out` (at most `size` characters with the terminator).
__declspec(dllexport) void WINAPI StandInDeleted(wchar_t* out, DWORD size) {
    std::wcsncpy(out, deleted.c_str(), size - 1);
    out[size - 1] = L'\0';
}

__declspec(dllexport) DWORD WINAPI NetShareEnum(LMSTR server, DWORD level, LPBYTE* buffer, DWORD preferred,
                                                LPDWORD read, LPDWORD total, LPDWORD resume) {
    if (level != 502) return ERROR_INVALID_LEVEL;
    // One block: the entries, then their strings.
    size_t bytes = shares.size() * sizeof(SHARE_INFO_502);
    for (const Share& share : shares) bytes += (share.name.size() + share.path.size() + 3) * sizeof(wchar_t);
    BYTE* block = static_cast<BYTE*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, bytes + 1));
    SHARE_INFO_502* entries = reinterpret_cast<SHARE_INFO_502*>(block);
    wchar_t* text = reinterpret_cast<wchar_t*>(block + shares.size() * sizeof(SHARE_INFO_502));
    auto place = [&text](const std::wstring& value) {
        wchar_t* start = text;
        std::wmemcpy(text, value.c_str(), value.size() + 1);
        text += value.size() + 1;
        return start;
    };
    for (size_t i = 0; i < shares.size(); ++i) {
        entries[i].shi502_netname = place(shares[i].name);
        entries[i].shi502_type = shares[i].type;
        entries[i].shi502_remark = place(L"");
        entries[i].shi502_path = place(shares[i].path);
    }
    *buffer = block;
    *read = *total = static_cast<DWORD>(shares.size());
    if (resume) *resume = 0;
    return NERR_Success;
}

__declspec(dllexport) DWORD WINAPI NetApiBufferFree(LPVOID buffer) {
    ::HeapFree(::GetProcessHeap(), 0, buffer);
    return NERR_Success;
}

__declspec(dllexport) DWORD WINAPI NetShareDel(LMSTR server, LMSTR name, DWORD reserved) {
    for (size_t i = 0; i < shares.size(); ++i) {
        if (shares[i].name != name) continue;
        if (shares[i].refuse) return ERROR_ACCESS_DENIED;
        deleted += shares[i].name + L"|";
        shares.erase(shares.begin() + i);
        return NERR_Success;
    }
    return NERR_NetNameNotFound;
}

}  // extern "C"
