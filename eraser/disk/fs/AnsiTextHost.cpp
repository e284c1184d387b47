#include "AnsiText.h"

#include <iconv.h>

#include <cerrno>
#include <ctime>

#include "ByteOrder.h"

namespace diskfs {

namespace {
// Converts one character (one or two code units) to GBK; false when GBK has no such character.
bool ConvertOne(iconv_t cd, const uint8_t* unit, size_t bytes, std::string* out) {
    char in[4] = {};
    for (size_t i = 0; i < bytes; ++i) in[i] = static_cast<char>(unit[i]);
    char buf[8];
    char* ip = in;
    size_t il = bytes;
    char* op = buf;
    size_t ol = sizeof buf;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return false;
    out->append(buf, static_cast<size_t>(op - buf));
    return true;
}

// One converter per thread, opened when the first name with a non-ASCII character comes.
class Converter {
public:
    ~Converter() {
        if (cd_ != kNone) iconv_close(cd_);
    }
    iconv_t Get() {
        if (cd_ == kNone) cd_ = iconv_open("GBK", "UTF-16LE");
        return cd_;
    }
    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

private:
    iconv_t cd_ = kNone;
};
}  // namespace

std::string Utf16ToAnsi(const uint8_t* utf16, size_t count) {
    static thread_local Converter converter;
    std::string out;
    out.reserve(count);
    iconv_t cd = Converter::kNone;
    for (size_t i = 0; i < count; ++i) {
        uint16_t u = Le16(utf16 + 2 * i);
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count && Le16(utf16 + 2 * i + 2) >= 0xDC00 &&
                   Le16(utf16 + 2 * i + 2) <= 0xDFFF) {
            out.push_back('?');  // GBK holds nothing outside the basic plane
            ++i;
        } else {
            if (cd == Converter::kNone) cd = converter.Get();
            if (cd == Converter::kNone || !ConvertOne(cd, utf16 + 2 * i, 2, &out)) out.push_back('?');
        }
    }
    return out;
}

long LocalBiasMinutes() {
    tzset();
    return static_cast<long>(timezone / 60);
}

}  // namespace diskfs
