#include "OsName.h"

#include <cctype>
#include <cstdio>

namespace {

const uint16_t kSuitePersonal = 0x200, kSuiteDataCenter = 0x80, kSuiteEnterprise = 0x2;
const uint8_t kWorkstation = 1, kServer = 3;

bool SameIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
    }
    return i == a.size() && !b[i];
}

std::string Windows9xName(const OsVersionFacts& facts) {
    if (facts.major != 4) return std::string();
    // The second character of the service-pack text marks the later releases.
    const char mark = facts.servicePack.size() > 1 ? facts.servicePack[1] : '\0';
    switch (facts.minor) {
    case 0: return std::string("Microsoft Windows 95 ") + (mark == 'C' || mark == 'B' ? "OSR2 " : "");
    case 10: return std::string("Microsoft Windows 98 ") + (mark == 'A' ? "SE " : "");
    case 90: return "Microsoft Windows Me ";
    }
    return std::string();
}

std::string NtName(const OsVersionFacts& facts) {
    if (facts.major <= 4) return "Microsoft Windows NT ";
    if (facts.major == 5 && facts.minor == 0) return "Microsoft Windows 2000 ";
    if (facts.major == 5 && facts.minor == 1) return "Microsoft Windows XP ";
    return std::string();
}

std::string NtEdition(const OsVersionFacts& facts) {
    if (facts.query == OsVersionFacts::Query::extended) {
        if (facts.productType == kWorkstation) return facts.suiteMask & kSuitePersonal ? "Personal " : "Professional ";
        if (facts.productType == kServer) {
            if (facts.suiteMask & kSuiteDataCenter) return "DataCenter Server ";
            if (facts.suiteMask & kSuiteEnterprise) return "Advanced Server ";
            return "Server ";
        }
        return std::string();
    }
    if (SameIgnoringCase(facts.registryProductType, "WINNT")) return "Professional ";
    if (SameIgnoringCase(facts.registryProductType, "LANMANNT")) return "Server ";
    if (SameIgnoringCase(facts.registryProductType, "SERVERNT")) return "Advanced Server ";
    return std::string();
}

std::string NtVersion(const OsVersionFacts& facts) {
    char text[400];
    if (facts.major > 4) {
        std::snprintf(text, sizeof text, "%s (Build %d)", facts.servicePack.c_str(), static_cast<int>(facts.build & 0xFFFF));
    } else {
        std::snprintf(text, sizeof text, "version %d.%d %s (Build %d)", static_cast<int>(facts.major),
                      static_cast<int>(facts.minor), facts.servicePack.c_str(), static_cast<int>(facts.build));
    }
    return text;
}

}  // namespace

OsNameTexts DescribeOs(const OsVersionFacts& facts) {
    OsNameTexts texts;
    if (facts.query == OsVersionFacts::Query::none) return texts;
    switch (facts.platform) {
    case 0:
        texts.name = "Microsoft Win32s ";
        break;
    case 1:
        texts.name = Windows9xName(facts);
        break;
    case 2:
        texts.name = NtName(facts);
        texts.edition = NtEdition(facts);
        texts.version = NtVersion(facts);
        break;
    }
    return texts;
}
