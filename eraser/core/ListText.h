#pragma once
// The texts the erase list shows and the order its rows sort in. Plain functions over GBK text,
// so the list, its properties dialog and the tests share one definition of each rule.
#include <array>
#include <cstdint>
#include <string>

// Column 1 of a file row: a size up to 1023 bytes as "%d Byte"; otherwise the size in whole KiB
// when that is at most 1023, as "N KB"; otherwise the size in whole MiB, as "N MB" (truncating).
std::string SizeText(uint64_t size);

// The bytes a size text stands for: its number times 1,048,576 for "MB", 1,024 for "KB" and 1 for
// "Byte". An empty text (a folder or drive row) counts as 0.
uint64_t SizeTextBytes(const std::string& text);

// The decimal digits of `value` with "," between every group of three: 1234567 gives "1,234,567".
std::string GroupThousands(uint64_t value);

// The total size of the properties dialog: "%.2f KB", "%.2f MB" or "%.2f GB" for the largest
// 1024-based unit the size reaches (nothing below 1 KB), then the exact count in parentheses with
// thousands separators, a space and `bytesWord`: 1,234,567 bytes give "1.18 MB(1,234,567) 字节".
std::string TotalSizeText(uint64_t bytes, const std::string& bytesWord);

// Compares two GBK texts without regard to the case of ASCII letters; the bytes of a double-byte
// character are compared as they are (a trail byte that looks like a letter is not a letter).
// Returns <0, 0 or >0.
int CompareNoCase(const std::string& a, const std::string& b);

// The texts of one row: name, size text, full path, type.
using RowTexts = std::array<std::string, 4>;

// The ascending order of two rows by `column` (<0, 0, >0):
//   0  folder and drive rows (no size text) before file rows, then the names without case;
//   1  the sizes in bytes (a row without a size counts as 0);
//   2  the full paths without case;
//   3  rows of type "DIR" after all others, then the type texts without case.
int CompareRows(const RowTexts& a, const RowTexts& b, int column);
