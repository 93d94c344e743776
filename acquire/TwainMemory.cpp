#include "TwainMemory.h"

#include <cstdlib>
#include <cstring>

namespace vantorel {

namespace {

TTwainBlockHeader *HeaderOf(TW_HANDLE block)
{
    auto *header = static_cast<TTwainBlockHeader *>(block);
    return header && header->Magic == TwainBlockMagic ? header : nullptr;
}

} // namespace

TW_HANDLE GlobalAlloc(std::size_t size)
{
    if (size > SIZE_MAX - sizeof(TTwainBlockHeader))
        return nullptr;
    auto *header = static_cast<TTwainBlockHeader *>(std::calloc(1, sizeof(TTwainBlockHeader) + size));
    if (!header)
        return nullptr;
    header->Magic = TwainBlockMagic;
    header->Size = size;
    return header;
}

TW_HANDLE GlobalReAlloc(TW_HANDLE block, std::size_t size)
{
    TTwainBlockHeader *header = HeaderOf(block);
    if (!header || size > SIZE_MAX - sizeof(TTwainBlockHeader))
        return nullptr;
    const std::size_t old = static_cast<std::size_t>(header->Size);
    auto *moved = static_cast<TTwainBlockHeader *>(std::realloc(header, sizeof(TTwainBlockHeader) + size));
    if (!moved)
        return nullptr;
    if (size > old)
        std::memset(reinterpret_cast<std::uint8_t *>(moved + 1) + old, 0, size - old);
    moved->Size = size;
    return moved;
}

void *GlobalLock(TW_HANDLE block)
{
    TTwainBlockHeader *header = HeaderOf(block);
    return header ? header + 1 : nullptr;
}

void GlobalUnlock(TW_HANDLE) {}

std::size_t GlobalSize(TW_HANDLE block)
{
    TTwainBlockHeader *header = HeaderOf(block);
    return header ? static_cast<std::size_t>(header->Size) : 0;
}

void GlobalFree(TW_HANDLE block)
{
    TTwainBlockHeader *header = HeaderOf(block);
    if (!header)
        return;
    // Wipe the mark so a stale handle is no longer taken for a block.
    header->Magic = 0;
    std::free(header);
}

} // namespace vantorel
