#pragma once
// Watching what the code under test calls: the test program's import of a kernel32 function is
// pointed at a replacement. The code under test is linked into the program, so every call it makes
// goes through that slot.

// Points every import slot of `dll`'s `name` at `replacement`; returns the real function, or nullptr
// when the program does not import it.
void* HookImport(const char* dll, const char* name, void* replacement);
inline void* HookKernel32Import(const char* name, void* replacement) {
    return HookImport("kernel32.dll", name, replacement);
}
