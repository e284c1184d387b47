#include "AnsiText.h"

#include <windows.h>

#include <vector>

#include "ByteOrder.h"

namespace diskfs {

std::string Utf16ToAnsi(const uint8_t* utf16, size_t count) {
    if (count == 0) return std::string();
    std::vector<wchar_t> wide(count);
    for (size_t i = 0; i < count; ++i) wide[i] = static_cast<wchar_t>(Le16(utf16 + 2 * i));
    int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(count), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(count), &out[0], n, nullptr, nullptr);
    return out;
}

long LocalBiasMinutes() {
    TIME_ZONE_INFORMATION tz;
    if (GetTimeZoneInformation(&tz) == TIME_ZONE_ID_INVALID) return 0;
    return tz.Bias;
}

}  // namespace diskfs
