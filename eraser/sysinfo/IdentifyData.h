#pragma once
// The ATA/ATAPI identify block (512 bytes, read as 256 little-endian 16-bit words) as the system
// report shows a disk: model, serial, firmware, buffer, type and capacity. Portable: no <windows.h>.
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kIdentifyWords = 256;

// One of the report's four IDE positions, numbered 0 to 3: slot / 2 is the controller (Primary,
// Secondary, Tertiary, Quaternary), slot % 2 the device (Master, Slave).
struct IdeDriveSlot {
    bool present = false;
    std::string channel;   // "Primary Master" ... "Secondary Slave"
    std::string model;     // words 27-46
    std::string serial;    // words 10-19
    std::string firmware;  // words 23-26
    std::string buffer;    // "%u KBytes" from word 21 (512-byte units)
    std::string type;      // "Removable", "Fixed" or "Unknown" from word 0
    std::string capacity;  // "<n> MBytes"
};

// "Primary Master" for slot 0 ... "Quaternary Slave" for slot 7.
std::string IdeChannelText(int slot);

// The ATA string in words first..last: each word gives its high byte, then its low byte. The text
// ends at the first zero byte; trailing spaces are cut, leading spaces stay.
std::string IdentifyString(const uint16_t* words, int first, int last);

// The user-addressable sectors: the 64-bit count of words 100-103 when word 83 says 48-bit
// addressing is supported, else the 28-bit count of words 60-61.
uint64_t IdentifySectors(const uint16_t* words);

// Fills a present slot from `words` (kIdentifyWords of them).
IdeDriveSlot DecodeIdentify(int slot, const uint16_t* words);

// Loads the identify words from a device's answer: kIdentifyWords little-endian words at `offset`
// of `bytes`. False when the answer is too short to hold them.
bool IdentifyWordsAt(const uint8_t* bytes, size_t size, size_t offset, uint16_t* words);
