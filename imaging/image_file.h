// The picture the rest of the program holds: loaded from a file by a type code, drawn into any
// device context.
#pragma once

#include <memory>
#include <string>

#include "image_impl.h"

namespace imaging {

using platform::BOOL;
using platform::BYTE;
using platform::HDC;
using platform::HPALETTE;

// One number space for the whole program.
constexpr int kImageTypeUnknown = -1;
constexpr int kImageTypeBmp = 0;
constexpr int kImageTypeJpeg = 1;
constexpr int kImageTypeGif = 2;
constexpr int kImageTypeXpm = 3;
constexpr int kImageTypePng = 4;
constexpr int kImageTypeWebp = 5;

// The text after the last '.', looked up in the five-entry table without regard to case; -1 for
// anything else, a name ending in '.' or one without a '.'.
int ImageTypeFromExtension(const std::string& fileName);

class CImageFile {
public:
    CImageFile(const std::string& fileName, int type, DecodeOptions options = {});
    virtual ~CImageFile();
    CImageFile(const CImageFile&) = delete;
    CImageFile& operator=(const CImageFile&) = delete;

    void Load(const std::string& fileName, int type);
    virtual bool CreateImpl(const std::string& fileName, int& type);
    virtual int Create(int width, int height, int depth, int colorType);

    virtual int GetEffWidth() const { return impl_ ? impl_->effWidth : 0; }
    virtual int GetWidth() const { return impl_ ? impl_->width : 0; }
    virtual int GetHeight() const { return impl_ ? impl_->height : 0; }
    virtual int GetDepth() const { return impl_ ? impl_->depth : 0; }
    virtual int GetColorType() const { return impl_ ? impl_->colorType : 0; }
    virtual bool Inside(int x, int y) const { return impl_ && impl_->Inside(x, y); }
    virtual BOOL Draw(HDC dc, int x = 0, int y = 0, int w = -1, int h = -1, int xSrc = 0, int ySrc = 0);
    virtual BOOL Stretch(HDC dc, int xDst, int yDst, int wDst, int hDst, int xSrc = 0, int ySrc = 0, int wSrc = -1,
                         int hSrc = -1);
    virtual int GetIndex(int x, int y) const { return impl_ ? impl_->GetIndex(x, y) : -1; }
    virtual BOOL GetRGB(int x, int y, BYTE* r, BYTE* g, BYTE* b) const { return impl_ && impl_->GetRGB(x, y, r, g, b); }
    virtual BOOL SetIndex(int x, int y, int index) { return impl_ && impl_->SetIndex(x, y, index); }
    virtual BOOL SetRGB(int x, int y, BYTE r, BYTE g, BYTE b) { return impl_ && impl_->SetRGB(x, y, r, g, b); }
    virtual BOOL SetPalette(int count, const BYTE* red, const BYTE* green, const BYTE* blue);
    virtual BOOL SetPalette(int count, const BYTE* rgbTriples);
    virtual BOOL SetPalette(HPALETTE palette);
    virtual HPALETTE GetPalette() const { return impl_ ? impl_->palette.get() : nullptr; }
    virtual bool IsValid() const { return impl_ && impl_->dib; }
    virtual CImageImpl* GetImpl() const { return impl_.get(); }
    virtual BYTE* GetBits() const { return impl_ ? impl_->bits : nullptr; }

    int type() const { return type_; }
    const std::string& fileName() const { return fileName_; }

private:
    int type_ = kImageTypeUnknown;
    DecodeOptions options_;
    std::string fileName_;
    std::unique_ptr<CImageImpl> impl_;
};

}  // namespace imaging
