#pragma once
// Conversions of on-disk text to the system's ANSI code page (936, GBK) and the local time bias.
// One implementation asks Windows, the other the C library of the build host.
#include <cstdint>
#include <string>

namespace diskfs {

// `count` UTF-16LE code units at `utf16` (unaligned bytes) as GBK. A character GBK cannot hold,
// and a lone surrogate, becomes '?', as WideCharToMultiByte does with its default character.
std::string Utf16ToAnsi(const uint8_t* utf16, size_t count);

// Minutes to subtract from UTC to get local standard time (the time-zone bias; daylight saving
// is not applied).
long LocalBiasMinutes();

}  // namespace diskfs
