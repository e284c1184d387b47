// A program that imports one function of each kind the import check must refuse, beside functions
// that every system of ours has. It is never run: the check reads its import table.
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0600
#define _WIN32_WINNT 0x0600  // so that the headers declare GetTickCount64
#include <windows.h>
#include <commctrl.h>
#include <malloc.h>
#include <sddl.h>
#include <setupapi.h>

#include <cstdlib>

// Imported through the import libraries made from the .def files beside this one.
extern "C" void* WINAPI SHSimpleIDListFromPath(const void* path);  // by ordinal 162
extern "C" void* pthread_self();                                      // from libwinpthread-1.dll

namespace {

using AnyFunction = void (*)();

template <typename Function>
AnyFunction Any(Function function) {
    return reinterpret_cast<AnyFunction>(function);
}

}  // namespace

// Volatile, so that the linker keeps every import.
AnyFunction volatile g_imports[] = {
    // Refused.
    Any(GetTickCount64), Any(AddVectoredExceptionHandler), Any(_aligned_malloc), Any(GetFileSizeEx),
    Any(ConvertSidToStringSidA), Any(SHSimpleIDListFromPath), Any(pthread_self),
    // Let through.
    Any(CreateFileA), Any(GetDiskFreeSpaceExA), Any(SetupDiGetClassDevsA), Any(InitCommonControlsEx),
    Any(OpenProcessToken), Any(std::strtol),
};

int main() {
    return g_imports[0] == nullptr;
}
