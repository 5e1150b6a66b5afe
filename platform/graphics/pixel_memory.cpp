#include "pixel_memory.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <utility>

namespace platform {
namespace {

constexpr std::size_t kHugePage = 2u << 20;
// Below this a surface is a picture or a strip: ordinary memory.
constexpr std::size_t kLargeSurface = 4u << 20;

std::size_t Rounded(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

std::uint8_t* AllocatePrivate(std::size_t bytes) {
    if (bytes < kLargeSurface) return static_cast<std::uint8_t*>(::operator new(bytes));
    void* memory = std::aligned_alloc(kHugePage, Rounded(bytes));
    if (!memory) throw std::bad_alloc();
    ::madvise(memory, Rounded(bytes), MADV_HUGEPAGE);  // only advice: without it, ordinary pages
    return static_cast<std::uint8_t*>(memory);
}

void FreePrivate(std::uint8_t* memory, std::size_t bytes) {
    if (bytes < kLargeSurface) ::operator delete(memory);
    else std::free(memory);
}

// A new segment, zero-filled, attached here; marked for removal at once, so it goes with the last
// process that detaches it however this one ends. -1 where the system has none to give.
int AttachSharedSegment(std::size_t bytes, std::uint8_t*& memory) {
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) return -1;
    void* attached = shmat(id, nullptr, 0);
    shmctl(id, IPC_RMID, nullptr);
    if (attached == reinterpret_cast<void*>(-1)) return -1;
    memory = static_cast<std::uint8_t*>(attached);
    return id;
}

}  // namespace

PixelBytes::PixelBytes(const PixelBytes& other) : sharing_(Sharing::Private) {
    assign(other.size_, 0);
    if (size_) std::memcpy(data_, other.data_, size_);
}

PixelBytes& PixelBytes::operator=(const PixelBytes& other) {
    if (this == &other) return *this;
    if (segment_ >= 0 || size_ != other.size_) {
        release();
        sharing_ = Sharing::Private;
        assign(other.size_, 0);
    }
    if (size_) std::memcpy(data_, other.data_, size_);
    return *this;
}

PixelBytes::PixelBytes(PixelBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      segment_(std::exchange(other.segment_, -1)), sharing_(other.sharing_) {}

PixelBytes& PixelBytes::operator=(PixelBytes&& other) noexcept {
    if (this == &other) return *this;
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    segment_ = std::exchange(other.segment_, -1);
    sharing_ = other.sharing_;
    return *this;
}

PixelBytes::~PixelBytes() { release(); }

void PixelBytes::release() {
    if (segment_ >= 0) shmdt(data_);
    else if (data_) FreePrivate(data_, size_);
    data_ = nullptr;
    size_ = 0;
    segment_ = -1;
}

void PixelBytes::assign(std::size_t size, std::uint8_t value) {
    if (size != size_) {
        release();
        if (size == 0) return;
        if (sharing_ == Sharing::WithDisplayServer) segment_ = AttachSharedSegment(size, data_);
        if (segment_ < 0) data_ = AllocatePrivate(size);
        size_ = size;
    }
    if (size_) std::memset(data_, value, size_);
}

bool operator==(const PixelBytes& a, const PixelBytes& b) {
    return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data_, b.data_, a.size_) == 0);
}

}  // namespace platform
