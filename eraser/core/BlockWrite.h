#pragma once
// The overwrite loop of the wipe engine, shared with the cleaners that zero a file themselves: one
// block written again and again, paced by the caller between blocks, pushed to the disk before the
// file goes.
#include <cstdint>
#include <string>

class CFile;

// Paces WriteBlocks. BeforeBlock is asked before every write (false stops the loop: the user
// cancelled); AfterBlock is told how many bytes that write put out.
class BlockPacer {
public:
    virtual ~BlockPacer() = default;
    virtual bool BeforeBlock() = 0;
    virtual void AfterBlock(uint32_t bytes) = 0;
};

// Writes `size` bytes at the file's position: whole blocks of `blockSize` bytes from `block`, then
// the first size % blockSize bytes of it. Returns false when the pacer stopped the loop (what was
// written stays written). A failed write throws a CFileException.
bool WriteBlocks(CFile& file, const unsigned char* block, uint32_t blockSize, uint64_t size, BlockPacer& pacer);

// Pushes what has been written so far to the disk: first out of a stream's own buffer, then out of
// the system's cache. Throws a CFileException when the system refuses.
void FlushToDisk(CFile& file);

// Removes a junction, symbolic link or mount point as itself, never touching what it points to.
// False when it is not one or cannot be removed (Wine opens the target instead: the link stays).
bool RemoveLink(const std::string& path);
