#include "gif_image.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>
#include "unique_file.h"

namespace imaging {

using namespace platform;
namespace {

constexpr int kEndOfData = -1;  // never a byte value
constexpr std::uint64_t kLzwPixelsPerByte = 4096 * 8 / 12;

// Hands out the file's bytes from a 16 KB buffer, one fread at a time.
class ByteReader {
public:
    explicit ByteReader(std::FILE* file) : file_(file) {}
    void reset() { position_ = filled_ = 0; }
    int next() {
        if (position_ >= filled_) {
            filled_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            position_ = 0;
            if (filled_ == 0) return kEndOfData;
        }
        return buffer_[position_++];
    }

private:
    std::FILE* file_;
    std::array<BYTE, 16384> buffer_{};
    size_t position_ = 0, filled_ = 0;
};

// Writes decoded lines into the picture, top line first, following the interlace passes.
class LineWriter {
public:
    LineWriter(CImageImpl& image, bool interlaced) : image_(image), interlaced_(interlaced), row_(image.height - 1) {}

    // False when a line has nowhere to go (more lines than the picture has, not interlaced).
    bool write(const BYTE* line, int length) {
        if (!interlaced_) {
            if (row_ < 0) return false;
            std::memcpy(rowPointer(row_), line, size_t(length));
            --row_;
            return true;
        }
        const int target = image_.height - 1 - line_;
        if (target >= 0 && target < image_.height) row_ = target;
        // Lines beyond the last pass land on the last row written, never outside the picture.
        std::memcpy(rowPointer(row_), line, size_t(length));
        line_ += step_;
        while (line_ >= image_.height && pass_ < 3) {
            static constexpr int kStart[] = {0, 4, 2, 1};
            static constexpr int kStep[] = {8, 8, 4, 2};
            ++pass_;
            line_ = kStart[pass_];
            step_ = kStep[pass_];
        }
        return true;
    }

private:
    BYTE* rowPointer(int row) { return image_.bits + size_t(row) * size_t(image_.effWidth); }

    CImageImpl& image_;
    bool interlaced_;
    int row_;
    int line_ = 0, step_ = 8, pass_ = 0;
};

// The variable-width LZW decoder with its 4096-entry string table.
class LzwDecoder {
public:
    LzwDecoder(ByteReader& reader, LineWriter& writer, int width) : reader_(reader), writer_(writer), width_(width) {}

    void decode() {
        const int initialSize = reader_.next();
        if (initialSize < 2 || initialSize > 9) return;
        size_ = initialSize;
        clear_ = 1 << size_;
        end_ = clear_ + 1;
        firstFree_ = clear_ + 2;
        resetTable();
        std::vector<BYTE> line(size_t(width_) + 1);
        int filled = 0;
        const auto emit = [&](BYTE pixel) {
            line[size_t(filled++)] = pixel;
            if (filled < width_) return true;
            filled = 0;
            return writer_.write(line.data(), width_);
        };
        int oldCode = 0, firstChar = 0;
        while (true) {
            int code = readCode();
            if (code < 0 || code == end_) break;
            if (code == clear_) {
                resetTable();
                do code = readCode();
                while (code == clear_);
                if (code < 0 || code == end_) break;
                if (code >= nextSlot_) code = 0;
                oldCode = firstChar = code;
                if (!emit(BYTE(code))) return;
                continue;
            }
            int current = code;
            stackTop_ = 0;
            if (current >= nextSlot_) {
                push(BYTE(firstChar));
                current = oldCode;
            }
            // Walk the chain; a hostile chain that would overflow the stack ends decoding.
            while (current >= firstFree_) {
                if (!push(suffix_[size_t(current)])) return;
                current = prefix_[size_t(current)];
            }
            if (!push(BYTE(current))) return;
            if (nextSlot_ < slotLimit_) {
                suffix_[size_t(nextSlot_)] = BYTE(current);
                prefix_[size_t(nextSlot_)] = std::uint16_t(oldCode);
                ++nextSlot_;
                oldCode = code;
                firstChar = current;
            }
            if (nextSlot_ >= slotLimit_ && codeSize_ < 12) {
                slotLimit_ <<= 1;
                ++codeSize_;
            }
            while (stackTop_ > 0)
                if (!emit(stack_[size_t(--stackTop_)])) return;
        }
        if (filled > 0) writer_.write(line.data(), filled);
    }

private:
    void resetTable() {
        codeSize_ = size_ + 1;
        slotLimit_ = 1 << codeSize_;
        nextSlot_ = firstFree_;
    }

    bool push(BYTE value) {
        if (stackTop_ >= int(stack_.size())) return false;
        stack_[size_t(stackTop_++)] = value;
        return true;
    }

    // The next code, least significant bit first, across data sub-blocks; -1 at the data's end.
    int readCode() {
        while (bitsHeld_ < codeSize_) {
            if (blockLeft_ == 0) {
                const int length = reader_.next();
                if (length <= 0) return -1;  // end of file, or the terminating empty block
                blockLeft_ = length;
            }
            const int byte = reader_.next();
            if (byte == kEndOfData) return -1;
            --blockLeft_;
            bitBuffer_ |= std::uint32_t(byte) << bitsHeld_;
            bitsHeld_ += 8;
        }
        const int code = int(bitBuffer_ & ((1u << codeSize_) - 1));
        bitBuffer_ >>= codeSize_;
        bitsHeld_ -= codeSize_;
        return code;
    }

    ByteReader& reader_;
    LineWriter& writer_;
    int width_;
    int size_ = 0, codeSize_ = 0, clear_ = 0, end_ = 0, firstFree_ = 0, nextSlot_ = 0, slotLimit_ = 0;
    std::array<BYTE, 4096> suffix_{};
    std::array<std::uint16_t, 4096> prefix_{};
    std::array<BYTE, 4096> stack_{};
    int stackTop_ = 0;
    std::uint32_t bitBuffer_ = 0;
    int bitsHeld_ = 0;
    int blockLeft_ = 0;
};

bool ReadColourTable(std::FILE* file, int packed, std::array<BYTE, 768>& table, int& count) {
    count = 1 << ((packed & 7) + 1);
    return std::fread(table.data(), 3, size_t(count), file) == size_t(count);
}

}  // namespace

BOOL CGifImageImpl::ReadFile(const std::string& name) {
    const std::string& path = UseName(name);
    platform::UniqueFile file = platform::OpenFile(path.c_str(), "rb");
    if (!file) return FALSE;
    BYTE header[13] = {};
    if (std::fread(header, 1, 13, file.get()) != 13 || std::memcmp(header, "GIF8", 4) != 0) return FALSE;
    FreeDib();
    width = height = depth = effWidth = 0;
    transparentIndex = -1;  // a reloaded file brings its own transparency, or none
    std::array<BYTE, 768> table{};
    int colours = 0;
    bool tablePresent = false;
    if (header[10] & 0x80) {
        if (!ReadColourTable(file.get(), header[10], table, colours)) return TRUE;
        tablePresent = true;
    }
    while (true) {
        const int introducer = std::fgetc(file.get());
        if (introducer == '!') {
            const int label = std::fgetc(file.get());
            if (label == EOF) break;
            if (label == 0xF9) {
                const int blockSize = std::fgetc(file.get());
                BYTE control[4] = {};
                const size_t wanted = blockSize < 0 ? 0 : std::min<size_t>(size_t(blockSize), 4);
                if (blockSize != 4 || std::fread(control, 1, wanted, file.get()) != size_t(blockSize)) break;
                if (control[0] & 1) transparentIndex = control[3];
            }
            // Skip the extension's data sub-blocks.
            for (int length = std::fgetc(file.get()); length > 0; length = std::fgetc(file.get()))
                if (std::fseek(file.get(), length, SEEK_CUR) != 0) break;
            continue;
        }
        if (introducer != ',') break;  // the trailer, or anything unknown
        BYTE descriptor[9];
        if (std::fread(descriptor, 1, 9, file.get()) != 9) break;
        const int imageWidth = descriptor[4] | (descriptor[5] << 8);
        const int imageHeight = descriptor[6] | (descriptor[7] << 8);
        if (descriptor[8] & 0x80) {
            if (!ReadColourTable(file.get(), descriptor[8], table, colours)) break;
            tablePresent = true;
        }
        // LZW codes are at least 12 bits for at most 4096 pixels once the table is full.
        if (!SizePlausible(std::uint64_t(imageWidth), std::uint64_t(imageHeight),
                           std::uint64_t(std::max(0L, platform::RemainingBytes(file.get()))), kLzwPixelsPerByte))
            break;
        if (!Create(imageWidth, imageHeight, 8, -1)) break;
        if (tablePresent) {
            std::array<BYTE, 256> red{}, green{}, blue{};
            bool hasWhite = false;
            for (int i = 0; i < colours; ++i) {
                red[size_t(i)] = table[size_t(3 * i)];
                green[size_t(i)] = table[size_t(3 * i + 1)];
                blue[size_t(i)] = table[size_t(3 * i + 2)];
                hasWhite = hasWhite || (red[size_t(i)] == 255 && green[size_t(i)] == 255 && blue[size_t(i)] == 255);
            }
            // The transparent entry black and a pure white entry present: the masks of the
            // transparent Stretch then find both exactly.
            if (transparentIndex >= 0) {
                red[size_t(transparentIndex)] = green[size_t(transparentIndex)] = blue[size_t(transparentIndex)] = 0;
                if (colours < 256) {
                    for (int i = colours; i < 256; ++i) red[size_t(i)] = green[size_t(i)] = blue[size_t(i)] = 255;
                    hasWhite = true;
                }
                if (!hasWhite) red[255] = green[255] = blue[255] = 255;
            }
            SetPalette(transparentIndex >= 0 ? 256 : colours, red.data(), green.data(), blue.data());
        }
        ByteReader reader(file.get());
        LineWriter writer(*this, (descriptor[8] & 0x40) != 0);
        LzwDecoder(reader, writer, imageWidth).decode();
        break;
    }
    return TRUE;
}

}  // namespace imaging
