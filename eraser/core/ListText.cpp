#include "ListText.h"

#include <cinttypes>
#include <cstdio>

#include "GbkText.h"

namespace {

const uint64_t kKiB = 1024;
const uint64_t kMiB = 1024 * 1024;
const uint64_t kGiB = 1024 * 1024 * 1024;

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

unsigned char Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c; }

template <class T>
int Sign(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

std::string SizeText(uint64_t size) {
    char text[48];
    if (size <= 1023) {
        std::snprintf(text, sizeof text, "%d Byte", static_cast<int>(size));
    } else if ((size >> 10) <= 1023) {
        std::snprintf(text, sizeof text, "%d KB", static_cast<int>(size >> 10));
    } else {
        std::snprintf(text, sizeof text, "%" PRIu64 " MB", size >> 20);
    }
    return text;
}

uint64_t SizeTextBytes(const std::string& text) {
    uint64_t number = 0;
    for (size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        number = number * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    if (EndsWith(text, "MB")) return number * kMiB;
    if (EndsWith(text, "KB")) return number * kKiB;
    return number;
}

std::string GroupThousands(uint64_t value) {
    std::string digits = std::to_string(value);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string TotalSizeText(uint64_t bytes, const std::string& bytesWord) {
    char scaled[48] = "";
    if (bytes >= kGiB) {
        std::snprintf(scaled, sizeof scaled, "%.2f GB", static_cast<double>(bytes) / kGiB);
    } else if (bytes >= kMiB) {
        std::snprintf(scaled, sizeof scaled, "%.2f MB", static_cast<double>(bytes) / kMiB);
    } else if (bytes >= kKiB) {
        std::snprintf(scaled, sizeof scaled, "%.2f KB", static_cast<double>(bytes) / kKiB);
    }
    return std::string(scaled) + "(" + GroupThousands(bytes) + ") " + bytesWord;
}

int CompareNoCase(const std::string& a, const std::string& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size()) {
        unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (gbk::IsLeadByte(ca) || gbk::IsLeadByte(cb)) {
            // A double-byte character on either side: compare it whole, as bytes.
            if (ca != cb) return Sign(ca, cb);
            if (i + 1 < a.size() && i + 1 < b.size()) {
                unsigned char ta = static_cast<unsigned char>(a[i + 1]), tb = static_cast<unsigned char>(b[i + 1]);
                if (ta != tb) return Sign(ta, tb);
            }
            i += 2;
            continue;
        }
        if (Lower(ca) != Lower(cb)) return Sign(Lower(ca), Lower(cb));
        ++i;
    }
    return Sign(a.size(), b.size());
}

int CompareRows(const RowTexts& a, const RowTexts& b, int column) {
    switch (column) {
    case 0: {
        bool aFile = !a[1].empty(), bFile = !b[1].empty();
        if (aFile != bFile) return aFile ? 1 : -1;
        return CompareNoCase(a[0], b[0]);
    }
    case 1:
        return Sign(SizeTextBytes(a[1]), SizeTextBytes(b[1]));
    case 2:
        return CompareNoCase(a[2], b[2]);
    case 3: {
        bool aDir = a[3] == "DIR", bDir = b[3] == "DIR";
        if (aDir != bDir) return aDir ? 1 : -1;
        return CompareNoCase(a[3], b[3]);
    }
    }
    return 0;
}
