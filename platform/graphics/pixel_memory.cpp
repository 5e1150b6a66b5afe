#include "pixel_memory.h"

#include <cstdlib>
#include <new>
#include <sys/mman.h>

namespace platform {
namespace {

constexpr std::size_t kHugePage = 2u << 20;
// Below this a surface is a picture or a strip: ordinary memory.
constexpr std::size_t kLargeSurface = 4u << 20;

std::size_t Rounded(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

std::uint8_t* AllocatePixelMemory(std::size_t bytes) {
    if (bytes < kLargeSurface) return static_cast<std::uint8_t*>(::operator new(bytes));
    void* memory = std::aligned_alloc(kHugePage, Rounded(bytes));
    if (!memory) throw std::bad_alloc();
    ::madvise(memory, Rounded(bytes), MADV_HUGEPAGE);  // only advice: without it, ordinary pages
    return static_cast<std::uint8_t*>(memory);
}

void FreePixelMemory(std::uint8_t* memory, std::size_t bytes) {
    if (bytes < kLargeSurface) ::operator delete(memory);
    else std::free(memory);
}

}  // namespace platform
