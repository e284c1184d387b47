#pragma once
// The operating-system line of the report: name, edition and version text from what the version
// query returned. Portable: the caller makes the query.
#include <cstdint>
#include <string>

struct OsVersionFacts {
    // Which query answered: the extended one (with product type and suite mask), only the plain
    // one, or neither.
    enum class Query { extended, plain, none } query = Query::none;
    uint32_t platform = 0;  // 0 Win32s, 1 Windows 95/98/Me, 2 NT family
    uint32_t major = 0, minor = 0, build = 0;
    std::string servicePack;  // szCSDVersion
    uint8_t productType = 0;  // extended query only: 1 workstation, 2 domain controller, 3 server
    uint16_t suiteMask = 0;   // extended query only
    // Plain query on the NT family: the value "ProductType" of the ProductOptions key.
    std::string registryProductType;
};

struct OsNameTexts {
    std::string name, edition, version;
};

// "Microsoft Windows XP ", "Professional ", "Service Pack 2 (Build 2600)" and so on; every text
// stays empty that the facts do not give.
OsNameTexts DescribeOs(const OsVersionFacts& facts);
