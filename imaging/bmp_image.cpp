#include "bmp_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "unique_file.h"

namespace imaging {

using namespace platform;
namespace {

std::uint32_t Dword(const BYTE* p) { return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t Word(const BYTE* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

// A run of 255 pixels takes two bytes: a file holds no more run-length pixels than this a byte.
constexpr std::uint64_t kRunPixelsPerByte = 128;

// Expands BI_RLE8 or BI_RLE4 runs into zeroed bottom-up rows. Pixels the runs skip keep index 0;
// runs past the right edge or the last row are dropped; data that breaks off keeps what came.
void ExpandRunLengths(const std::vector<BYTE>& runs, int bitCount, int width, int rows, size_t rowBytes, BYTE* target) {
    int x = 0, y = 0;
    const auto put = [&](unsigned index) {
        if (x >= 0 && x < width && y < rows) {
            BYTE& byte = target[size_t(y) * rowBytes + size_t(bitCount == 8 ? x : x / 2)];
            if (bitCount == 8) byte = BYTE(index);
            else byte = x % 2 ? BYTE((byte & 0xF0) | (index & 0x0F)) : BYTE((byte & 0x0F) | (index << 4));
        }
        ++x;
    };
    // The k-th pixel of a run of two-pixel bytes (RLE4) or of single-pixel bytes (RLE8).
    const auto pixelOf = [bitCount](const BYTE* bytes, int k) -> unsigned {
        return bitCount == 8 ? bytes[k] : (k % 2 ? bytes[k / 2] & 0x0F : bytes[k / 2] >> 4);
    };
    for (size_t at = 0; at + 1 < runs.size() && y < rows;) {
        const BYTE count = runs[at], value = runs[at + 1];
        at += 2;
        if (count > 0) {  // count pixels of one value (RLE4: two alternating ones)
            const BYTE repeated[2] = {value, value};
            for (int k = 0; k < count; ++k) put(pixelOf(repeated, k % 2));
            continue;
        }
        if (value == 0) {  // end of the row
            x = 0;
            ++y;
        } else if (value == 1) {  // end of the picture
            return;
        } else if (value == 2) {  // move right and up
            if (at + 1 >= runs.size()) return;
            x += runs[at];
            y += runs[at + 1];
            at += 2;
        } else {  // value pixels as they stand, padded to a whole word
            const size_t bytes = bitCount == 8 ? value : (size_t(value) + 1) / 2;
            if (at + bytes > runs.size()) return;
            for (int k = 0; k < value; ++k) put(pixelOf(runs.data() + at, k));
            at += bytes + (bytes % 2);
        }
    }
}

bool ReadExactly(std::FILE* file, void* into, size_t bytes) { return std::fread(into, 1, bytes, file) == bytes; }

}  // namespace

BOOL CBmpImageImpl::ReadFile(const std::string& name) {
    const std::string& path = UseName(name);
    platform::UniqueFile file = platform::OpenFile(path.c_str(), "rb");
    if (!file) return FALSE;
    FreeDib();
    width = height = depth = effWidth = 0;
    colorType = 0;
    const long fileSize = platform::RemainingBytes(file.get());
    if (fileSize < 12) return FALSE;

    // The 14-byte file header is optional: without "BM" the file is a bare DIB.
    BYTE fileHeader[14] = {};
    long start = 0;
    long bitsOffset = 0;
    if (ReadExactly(file.get(), fileHeader, 14) && Word(fileHeader) == 0x4D42) {
        start = 14;
        bitsOffset = long(Dword(fileHeader + 10));
    } else {
        std::rewind(file.get());
    }
    BYTE info[40] = {};
    const DWORD headerSize = [&] {
        BYTE size[4];
        return ReadExactly(file.get(), size, 4) ? Dword(size) : 0u;
    }();
    BITMAPINFOHEADER header;
    bool os2 = false;
    if (headerSize == 12) {
        // OS/2 1.x: 16-bit width, height, planes and bit count; colour entries of three bytes.
        if (!ReadExactly(file.get(), info + 4, 8)) return FALSE;
        header.biWidth = Word(info + 4);
        header.biHeight = Word(info + 6);
        header.biPlanes = Word(info + 8);
        header.biBitCount = Word(info + 10);
        os2 = true;
    } else if (headerSize >= 40 && headerSize <= 1024) {
        if (!ReadExactly(file.get(), info + 4, 36)) return FALSE;
        std::memcpy(&header, info, 40);
        header.biSize = 40;
    } else {
        return FALSE;
    }
    const long tableStart = start + long(headerSize);

    // Only what can be drawn soundly: known depths, uncompressed, bit fields or run lengths, sane sizes.
    const int bitCount = header.biBitCount;
    const bool knownDepth = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
    const bool bitFields = header.biCompression == BI_BITFIELDS;
    const bool runLengths = (header.biCompression == BI_RLE8 && bitCount == 8) || (header.biCompression == BI_RLE4 && bitCount == 4);
    if (!knownDepth || (header.biCompression != BI_RGB && !runLengths && !(bitFields && (bitCount == 16 || bitCount == 32))))
        return FALSE;
    if (runLengths && header.biHeight < 0) return FALSE;  // run lengths are only ever bottom-up
    const DWORD storedImageBytes = header.biSizeImage;
    const bool topDown = header.biHeight < 0;
    const long long rows = topDown ? -(long long)header.biHeight : header.biHeight;
    if (header.biWidth <= 0 || rows <= 0 || !SizeAllowed(std::uint64_t(header.biWidth), std::uint64_t(rows))) return FALSE;
    if (header.biClrUsed > 256) return FALSE;
    DWORD colours = header.biClrUsed ? header.biClrUsed : (bitCount <= 8 ? DWORD(1) << bitCount : 0);
    if (bitCount <= 8 && header.biClrUsed == 0) header.biClrUsed = colours;
    const size_t rowBytes = size_t(DibRowBytes(header.biWidth, bitCount));
    const size_t imageBytes = rowBytes * size_t(rows);
    header.biSizeImage = DWORD(imageBytes);
    header.biHeight = LONG(rows);  // stored bottom-up whatever the file's order

    // Masks of bit fields: inside a larger header, else right after the 40-byte one.
    const size_t maskBytes = bitFields ? 12 : 0;
    const size_t entryBytes = os2 ? 3 : 4;
    const long tableBytes = long(colours * entryBytes + (bitFields && headerSize < 52 ? 12 : 0));
    if (tableStart + tableBytes > fileSize) return FALSE;
    // The file header's offset counts from the file's first byte; without one the bits follow the table.
    const long bitsStart = bitsOffset > 0 ? bitsOffset : tableStart + tableBytes;
    // Never more memory than the file can fill.
    if (bitsStart < 0 || bitsStart > fileSize) return FALSE;
    const size_t bytesLeft = size_t(fileSize - bitsStart);
    const size_t runBytes = storedImageBytes && storedImageBytes < bytesLeft ? storedImageBytes : bytesLeft;
    if (runLengths ? !SizePlausible(std::uint64_t(header.biWidth), std::uint64_t(rows), runBytes, kRunPixelsPerByte)
                   : bytesLeft < imageBytes)
        return FALSE;
    header.biCompression = runLengths ? BI_RGB : header.biCompression;  // stored expanded

    DibBlock block = DibBlock::Zeroed(40 + maskBytes + 4 * size_t(colours) + imageBytes);
    if (!block) return FALSE;
    BYTE* table = block.data() + 40;
    if (bitFields) {
        BYTE masks[12];
        const long maskAt = headerSize >= 52 ? start + 40 : tableStart;
        if (std::fseek(file.get(), maskAt, SEEK_SET) != 0 || !ReadExactly(file.get(), masks, 12)) return FALSE;
        std::memcpy(table, masks, 12);
    } else {
        if (std::fseek(file.get(), tableStart, SEEK_SET) != 0) return FALSE;
        for (DWORD i = 0; i < colours; ++i) {
            BYTE entry[4] = {};
            if (!ReadExactly(file.get(), entry, entryBytes)) return FALSE;
            std::memcpy(table + 4 * i, entry, 3);
        }
    }
    BYTE* target = table + maskBytes + 4 * colours;
    if (std::fseek(file.get(), bitsStart, SEEK_SET) != 0) return FALSE;
    if (runLengths) {
        std::vector<BYTE> runs(runBytes);
        if (!ReadExactly(file.get(), runs.data(), runs.size())) return FALSE;
        ExpandRunLengths(runs, bitCount, header.biWidth, int(rows), rowBytes, target);
    } else if (!ReadExactly(file.get(), target, imageBytes)) {
        return FALSE;
    }
    if (topDown) {
        std::vector<BYTE> swap(rowBytes);
        for (size_t top = 0, bottom = size_t(rows) - 1; top < bottom; ++top, --bottom) {
            std::memcpy(swap.data(), target + top * rowBytes, rowBytes);
            std::memcpy(target + top * rowBytes, target + bottom * rowBytes, rowBytes);
            std::memcpy(target + bottom * rowBytes, swap.data(), rowBytes);
        }
    }
    std::memcpy(block.data(), &header, 40);
    AdoptDib(std::move(block), 40 + maskBytes + 4 * size_t(colours));
    width = header.biWidth;
    height = int(rows);
    depth = bitCount;
    effWidth = int(rowBytes);

    // A colour table of an indexed picture becomes its palette.
    if ((header.biClrUsed & 0xFFFF) != 0 && bitCount <= 8) {
        LOGPALETTE logical;
        logical.palNumEntries = WORD(header.biClrUsed & 0xFFFF);
        for (DWORD i = 0; i < logical.palNumEntries; ++i)
            logical.palPalEntry.push_back(PALETTEENTRY{table[4 * i + 2], table[4 * i + 1], table[4 * i], 0});
        palette.reset(CreatePalette(&logical));
        SetPaletteIndexUsage(dib, palette.get(), 1);
        colorType = kColorTypePalette | kColorTypeColor;
    }
    return TRUE;
}

}  // namespace imaging
