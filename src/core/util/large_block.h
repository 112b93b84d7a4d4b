#pragma once
// Blocks of many megabytes (rasters, node copies, node pools) backed by
// transparent huge pages where the kernel offers them on request: touching a
// fresh 64 MB raster then costs 32 page faults instead of 16384, which on a
// virtual machine is the larger part of mapping a result.
#include <cstddef>
#include <new>
#include <vector>

namespace korvex {

// At least `bytes` of cleared memory, released with FreeLarge; null when out of memory. Blocks of
// 2 MiB and more start on a huge-page boundary; smaller ones come from calloc.
void* AllocateLarge(std::size_t bytes);

// The same for standard containers.
template <typename T>
struct LargeBlockAllocator {
    using value_type = T;
    LargeBlockAllocator() = default;
    template <typename U>
    LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n)
    {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        void* memory = AllocateLarge(n * sizeof(T));
        if (memory == nullptr) throw std::bad_alloc();
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, std::size_t) noexcept;
    template <typename U>
    bool operator==(const LargeBlockAllocator<U>&) const noexcept
    {
        return true;
    }
};

// Releases a block of AllocateLarge, or anything else from malloc. A large block keeps its pages
// for the next large blocks, up to 256 MiB in all.
void FreeLarge(void* memory) noexcept;
// Bytes of freed large blocks kept with their pages, and their release to the system.
std::size_t KeptLargeBlockBytes() noexcept;
void ReleaseKeptLargeBlocks() noexcept;

// Faults in the pages of `bytes` bytes at `memory` for writing, keeping what
// they hold, so that whoever writes them next pays no page faults. Lets a
// helper thread take the kernel's page clearing off the thread that fills them.
void FaultInForWriting(void* memory, std::size_t bytes) noexcept;
// The same done by the kernel alone, never writing a byte, so another thread may be
// filling the memory meanwhile; false where the kernel cannot do it.
bool PrefaultPages(void* memory, std::size_t bytes) noexcept;

template <typename T>
void LargeBlockAllocator<T>::deallocate(T* memory, std::size_t) noexcept
{
    FreeLarge(memory);
}

// Fixed-size records carved one after another from large blocks that never move, so a
// record's address stays valid until the arena is destroyed. Blocks double from 64 KiB (a
// small mesh costs little) to 64 MiB; from 2 MiB on they are huge-page blocks.
class BlockArena {
public:
    BlockArena() = default;
    BlockArena(const BlockArena&) = delete;
    BlockArena& operator=(const BlockArena&) = delete;
    ~BlockArena();
    // `bytes` of fresh memory, null when out of memory.
    void* Take(std::size_t bytes);

private:
    std::vector<void*> blocks_;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::size_t blockBytes_ = std::size_t(64) << 10;
};

}  // namespace korvex
