#pragma once

// Memory blocks handed between the wrapper and a source manager (capability containers, DIBs).
//
// A block is one malloc'ed piece of memory: a 16-byte header, then the data.
//   offset 0  uint32  magic 0x4B4C4254 (the bytes "TBLK")
//   offset 4  uint32  0
//   offset 8  uint64  size of the data in bytes
//   offset 16 the data (16-byte aligned as malloc returns it)
// The handle is the address of the header. Because the memory comes from malloc, a block made by
// a manager outlives the manager's library and is freed by whoever owns it last. A manager may
// build blocks with these routines (compile TwainMemory.cpp into it) or by this layout.

#include <cstddef>
#include <cstdint>

#include "TwainTypes.h"

namespace vantorel {

inline constexpr std::uint32_t TwainBlockMagic = 0x4B4C4254;

struct TTwainBlockHeader {
    std::uint32_t Magic;
    std::uint32_t Reserved;
    std::uint64_t Size;
};
static_assert(sizeof(TTwainBlockHeader) == 16);

// A new block of size bytes, all zero; 0 when memory is short.
TW_HANDLE GlobalAlloc(std::size_t size);
// The block made size bytes long, its data kept and any added bytes zero; the old handle is then
// no longer valid. 0 when memory is short or the handle is not a block's, the block unchanged.
TW_HANDLE GlobalReAlloc(TW_HANDLE block, std::size_t size);
// The data of a block, or nullptr for 0 or a handle without the block's mark.
void *GlobalLock(TW_HANDLE block);
void GlobalUnlock(TW_HANDLE block);
// The data size of a block, 0 for 0 or a handle without the block's mark.
std::size_t GlobalSize(TW_HANDLE block);
// Frees a block; 0 is ignored.
void GlobalFree(TW_HANDLE block);

} // namespace vantorel
