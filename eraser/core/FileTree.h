#pragma once
// Sizing a folder tree without entering links.
#include <cstdint>
#include <string>

// The total size of every file below `folder` (a folder path, or a drive as letter and colon), at
// every level. Junctions, symbolic links and mount points are neither entered nor counted: what
// they point to lies outside the tree. `keepGoing`, when given, is asked before each entry and
// stops the walk when it says false.
uint64_t SumFileSizes(const std::string& folder, bool (*keepGoing)(void*) = nullptr, void* context = nullptr);
