// The memory of a surface's rows. A large surface (a full screen's) is laid on huge-page
// boundaries and offered to the kernel for huge pages: a 4K screen's 33 MB then take a few
// hundred page faults instead of eight thousand when first drawn, fewer TLB misses in every blit,
// and far less time to give back when the saver ends.
//
// A window's rows may instead live in a shared-memory segment the display server reads itself
// (X11's MIT-SHM): what changed reaches the screen without a copy of our own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

class PixelBytes {
public:
    enum class Sharing { Private, WithDisplayServer };

    explicit PixelBytes(Sharing sharing = Sharing::Private) : sharing_(sharing) {}
    // A copy is always the process's own memory.
    PixelBytes(const PixelBytes& other);
    PixelBytes& operator=(const PixelBytes& other);
    PixelBytes(PixelBytes&& other) noexcept;
    PixelBytes& operator=(PixelBytes&& other) noexcept;
    ~PixelBytes();

    // Makes it `size` bytes, each `value`; the memory is kept when the size stays.
    void assign(std::size_t size, std::uint8_t value);
    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    // The shared-memory segment that holds the bytes, or -1 where they are the process's own
    // (asked for so, or no segment could be had).
    int segment() const { return segment_; }

    friend bool operator==(const PixelBytes& a, const PixelBytes& b);

private:
    void release();

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    int segment_ = -1;
    Sharing sharing_;
};

}  // namespace platform
