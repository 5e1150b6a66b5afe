// Where the bilinear scaler reads its source: rows in the display's own format, top row 0,
// asked for as the scaler walks down the picture.
#pragma once

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "gdi.h"
#include "image_file.h"

namespace imaging {

using platform::BYTE;

class SourceRows {
public:
    SourceRows(int width, int height) : width_(width), height_(height) {}
    virtual ~SourceRows() = default;
    int width() const { return width_; }
    int height() const { return height_; }
    // A row stays valid until two other rows have been asked for.
    virtual const BYTE* row(int y) = 0;

private:
    int width_, height_;
};

// Which of two kept rows holds a row: consecutive target rows walk the source rows downwards,
// so two suffice, and the one asked for last is never the one given up.
class TwoRowSlots {
public:
    // The slot holding row y and true; or the slot to fill with it and false.
    std::pair<std::size_t, bool> slotFor(int y) {
        for (std::size_t i = 0; i < 2; ++i)
            if (rows_[i] == y) {
                lastUsed_ = i;
                return {i, true};
            }
        lastUsed_ = 1 - lastUsed_;
        rows_[lastUsed_] = y;
        return {lastUsed_, false};
    }

private:
    int rows_[2] = {-1, -1};
    std::size_t lastUsed_ = 0;
};

// Rows already in memory, stride bytes apart.
class MemoryRows final : public SourceRows {
public:
    MemoryRows(const BYTE* first, int width, int height, int stride)
        : SourceRows(width, height), first_(first), stride_(stride) {}
    const BYTE* row(int y) override { return first_ + std::size_t(y) * std::size_t(stride_); }

private:
    const BYTE* first_;
    int stride_;
};

// A picture's rows turned into the display's format one at a time, when first asked for, so a
// large picture is never held twice: two converted rows are kept.
class DeviceRows final : public SourceRows {
public:
    // Nothing usable (valid() false) when the picture holds no pixels.
    explicit DeviceRows(const CImageFile& image);
    bool valid() const { return valid_; }
    const BYTE* row(int y) override;

private:
    const CImageFile& image_;
    platform::UniqueMemoryDC dc_;
    platform::UniqueBitmap format_;  // a 1 x 1 bitmap that gives the context the display's format
    platform::HGDIOBJ replaced_ = nullptr;
    std::vector<BYTE> oneRowInfo_;  // the picture's header and colour table, for one row
    std::array<platform::UniqueBitmap, 2> rows_;
    TwoRowSlots slots_;
    bool plainTrueColour_ = false;
    bool valid_ = false;

public:
    ~DeviceRows() override;
    DeviceRows(const DeviceRows&) = delete;
    DeviceRows& operator=(const DeviceRows&) = delete;
};

}  // namespace imaging
