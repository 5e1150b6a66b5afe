// The memory of a surface's rows. A large surface (a full screen's) is laid on huge-page
// boundaries and offered to the kernel for huge pages: a 4K screen's 33 MB then take a few
// hundred page faults instead of eight thousand when first drawn, fewer TLB misses in every blit,
// and far less time to give back when the saver ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

std::uint8_t* AllocatePixelMemory(std::size_t bytes);
void FreePixelMemory(std::uint8_t* memory, std::size_t bytes);

template <typename T>
struct PixelAllocator {
    using value_type = T;
    PixelAllocator() = default;
    template <typename U>
    PixelAllocator(const PixelAllocator<U>&) {}
    T* allocate(std::size_t count) { return reinterpret_cast<T*>(AllocatePixelMemory(count * sizeof(T))); }
    void deallocate(T* memory, std::size_t count) { FreePixelMemory(reinterpret_cast<std::uint8_t*>(memory), count * sizeof(T)); }
    friend bool operator==(const PixelAllocator&, const PixelAllocator&) { return true; }
};

using PixelBytes = std::vector<std::uint8_t, PixelAllocator<std::uint8_t>>;

}  // namespace platform
