// Picture decoding and scaling against giflib, bare libjpeg-turbo, libpng, libwebp and pixman.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <gif_lib.h>
#include <pixman.h>
#include <png.h>
#include <unistd.h>
#include <webp/decode.h>
#include <webp/encode.h>

#include "headless_display.h"
#include "image_file.h"
#include "picture_writers.h"
#include "quality_stretch.h"
#include "scaler_path.h"
#include "photo_like.h"
#include "ratio_reporter.h"

// Last: its TRUE and FALSE macros would otherwise rewrite the platform's constants.
#include <jpeglib.h>

namespace {

namespace fs = std::filesystem;
using namespace picture_writers;
using bench::PhotoLike;

const fs::path& Folder() {
    static const fs::path folder = [] {
        fs::path made = fs::temp_directory_path() / ("kelvane-bench-" + std::to_string(::getpid()));
        fs::create_directories(made);
        return made;
    }();
    return folder;
}

// Quantised to a 3-3-2 palette with ordered dithering, written by giflib's own encoder.
std::string WriteGif(const TruePicture& picture, const std::string& name) {
    const std::string path = (Folder() / name).string();
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    for (int i = 0; i < 256; ++i)
        map->Colors[i] = GifColorType{GifByteType((i >> 5) * 255 / 7), GifByteType(((i >> 2) & 7) * 255 / 7),
                                      GifByteType((i & 3) * 255 / 3)};
    EGifPutScreenDesc(gif, picture.width, picture.height, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, picture.width, picture.height, false, nullptr);
    static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    std::vector<GifPixelType> line(size_t(picture.width));
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Rgb& p = picture.pixels[size_t(y * picture.width + x)];
            const int d = kBayer[y & 3][x & 3] * 2;
            const int r = std::min(7, (p.r + d) / 32), g = std::min(7, (p.g + d) / 32), b = std::min(3, (p.b + 2 * d) / 64);
            line[size_t(x)] = GifPixelType((r << 5) | (g << 2) | b);
        }
        EGifPutLine(gif, line.data(), picture.width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return path;
}

std::string WriteJpeg(const TruePicture& picture, const std::string& name) {
    const fs::path path = Folder() / name;
    WriteFile(path, JpegFile(picture, JpegKind::Colour, 85));
    return path.string();
}

// A photograph as sites serve WebP: lossy, at a usual quality.
std::string WriteLossyWebp(const TruePicture& picture, const std::string& name) {
    std::vector<std::uint8_t> rgb;
    for (const Rgb& p : picture.pixels) rgb.insert(rgb.end(), {p.r, p.g, p.b});
    std::uint8_t* encoded = nullptr;
    const size_t size = WebPEncodeRGB(rgb.data(), picture.width, picture.height, picture.width * 3, 80, &encoded);
    const fs::path path = Folder() / name;
    WriteFile(path, std::string(reinterpret_cast<const char*>(encoded), size));
    WebPFree(encoded);
    return path.string();
}

std::string WriteBytes(const std::string& bytes, const std::string& name) {
    const fs::path path = Folder() / name;
    WriteFile(path, bytes);
    return path.string();
}

void UseDisplay(int width, int height, int depth = 32) {
    platform::SetDisplay(std::make_unique<platform::HeadlessDisplay>(width, height, depth));
}

const std::string& Gif1080() {
    static const std::string path = WriteGif(PhotoLike(1920, 1080), "photo-1920x1080.gif");
    return path;
}
const std::string& Gif480() {
    static const std::string path = WriteGif(PhotoLike(640, 480), "webcam-640x480.gif");
    return path;
}
const std::string& Jpeg1080() {
    static const std::string path = WriteJpeg(PhotoLike(1920, 1080), "photo-1920x1080.jpg");
    return path;
}
const std::string& Jpeg480() {
    static const std::string path = WriteJpeg(PhotoLike(640, 480), "webcam-640x480.jpg");
    return path;
}

const std::string& Png1080() {
    static const std::string path = WriteBytes(PngFile(PhotoLike(1920, 1080)), "photo-1920x1080.png");
    return path;
}
const std::string& LossyWebp1080() {
    static const std::string path = WriteLossyWebp(PhotoLike(1920, 1080), "photo-1920x1080.webp");
    return path;
}
const std::string& LosslessWebp1080() {
    static const std::string path = WriteBytes(WebpFile(PhotoLike(1920, 1080)), "photo-1920x1080-lossless.webp");
    return path;
}

// Our reader of the given type, as the saver loads a stored picture.
void OursRead(benchmark::State& state, const std::string& path, int type) {
    UseDisplay(1920, 1080);
    for (auto _ : state) {
        imaging::CImageFile image(path, type);
        if (image.GetWidth() <= 0) state.SkipWithError("the picture did not load");
        benchmark::DoNotOptimize(image.GetBits());
    }
}

// libpng's own simplest reading: blue, green, red rows into one buffer.
void BareLibpng(benchmark::State& state, const std::string& path) {
    std::vector<unsigned char> buffer;
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) state.SkipWithError("libpng could not read the PNG");
        image.format = PNG_FORMAT_BGR;
        buffer.resize(PNG_IMAGE_SIZE(image));
        png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr);
        benchmark::DoNotOptimize(buffer.data());
    }
}

// The file read whole and decoded by libwebp into blue, green, red rows.
void BareLibwebp(benchmark::State& state, const std::string& path) {
    std::vector<std::uint8_t> data, pixels;
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        data.resize(fs::file_size(path));
        if (std::fread(data.data(), 1, data.size(), file) != data.size()) state.SkipWithError("the WebP could not be read");
        std::fclose(file);
        int width = 0, height = 0;
        WebPGetInfo(data.data(), data.size(), &width, &height);
        pixels.resize(size_t(width) * size_t(height) * 3);
        if (!WebPDecodeBGRInto(data.data(), data.size(), pixels.data(), pixels.size(), width * 3))
            state.SkipWithError("libwebp could not decode the WebP");
        benchmark::DoNotOptimize(pixels.data());
    }
}

void OursGif(benchmark::State& state, const std::string& path) {
    UseDisplay(1920, 1080);
    for (auto _ : state) {
        imaging::CImageFile image(path, imaging::kImageTypeGif);
        if (image.GetWidth() <= 0) state.SkipWithError("the GIF did not load");
        benchmark::DoNotOptimize(image.GetBits());
    }
}

void GiflibSlurp(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        int error = 0;
        GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib could not read the GIF");
        benchmark::DoNotOptimize(gif->SavedImages);
        DGifCloseFile(gif, &error);
    }
}

void OursJpeg(benchmark::State& state, const std::string& path) {
    UseDisplay(1920, 1080);
    for (auto _ : state) {
        imaging::CImageFile image(path, imaging::kImageTypeJpeg);
        if (image.GetWidth() <= 0) state.SkipWithError("the JPEG did not load");
        benchmark::DoNotOptimize(image.GetBits());
    }
}

// The plainest decode: rows in blue-green-red straight into one buffer.
void BareLibjpeg(benchmark::State& state, const std::string& path) {
    std::vector<unsigned char> buffer;
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        jpeg_decompress_struct decoder{};
        jpeg_error_mgr errors{};
        decoder.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&decoder);
        jpeg_stdio_src(&decoder, file);
        jpeg_read_header(&decoder, TRUE);
        decoder.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&decoder);
        const size_t stride = size_t(decoder.output_width) * 3;
        buffer.resize(stride * decoder.output_height);
        while (decoder.output_scanline < decoder.output_height) {
            JSAMPROW row = buffer.data() + stride * decoder.output_scanline;
            jpeg_read_scanlines(&decoder, &row, 1);
        }
        jpeg_finish_decompress(&decoder);
        jpeg_destroy_decompress(&decoder);
        std::fclose(file);
        benchmark::DoNotOptimize(buffer.data());
    }
}

// The quality stretch on one instruction-set path and display depth.
void OursQualityStretch(benchmark::State& state, imaging::ScalerPath path, int depth) {
    UseDisplay(1920, 1080, depth);
    imaging::SelectScalerPath(path);
    imaging::CImageFile image(Jpeg480(), imaging::kImageTypeJpeg);
    platform::UniqueMemoryDC dc(platform::CreateCompatibleDC(nullptr));
    platform::UniqueBitmap target(platform::CreateCompatibleBitmap(dc.get(), 1920, 1080));
    platform::HGDIOBJ previous = platform::SelectObject(dc.get(), target.get());
    for (auto _ : state) imaging::QualityStretch(image, dc.get(), target.get(), 1920, 1080);
    platform::SelectObject(dc.get(), previous);
    imaging::SelectScalerPath(imaging::BestScalerPath());
}

void PixmanBilinear(benchmark::State& state) {
    const TruePicture picture = PhotoLike(640, 480);
    std::vector<std::uint32_t> sourcePixels;
    for (const Rgb& p : picture.pixels) sourcePixels.push_back(0xFF000000u | (p.r << 16) | (p.g << 8) | p.b);
    std::vector<std::uint32_t> targetPixels(size_t(1920) * 1080);
    pixman_image_t* source = pixman_image_create_bits(PIXMAN_x8r8g8b8, 640, 480, sourcePixels.data(), 640 * 4);
    pixman_image_t* target = pixman_image_create_bits(PIXMAN_x8r8g8b8, 1920, 1080, targetPixels.data(), 1920 * 4);
    pixman_transform_t transform;
    pixman_transform_init_scale(&transform, pixman_double_to_fixed(640.0 / 1920.0), pixman_double_to_fixed(480.0 / 1080.0));
    pixman_image_set_transform(source, &transform);
    pixman_image_set_filter(source, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(source, PIXMAN_REPEAT_PAD);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, target, 0, 0, 0, 0, 0, 0, 1920, 1080);
        benchmark::DoNotOptimize(targetPixels.data());
    }
    pixman_image_unref(source);
    pixman_image_unref(target);
}

}  // namespace

BENCHMARK_CAPTURE(OursGif, gif_photo_1920x1080, Gif1080())->Name("ours/gif_photo_1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GiflibSlurp, gif_photo_1920x1080, Gif1080())->Name("reference/gif_photo_1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursGif, gif_webcam_640x480, Gif480())->Name("ours/gif_webcam_640x480")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GiflibSlurp, gif_webcam_640x480, Gif480())->Name("reference/gif_webcam_640x480")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursJpeg, jpeg_1920x1080, Jpeg1080())->Name("ours/jpeg_1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BareLibjpeg, jpeg_1920x1080, Jpeg1080())->Name("reference/jpeg_1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursRead, png, Png1080(), imaging::kImageTypePng)->Name("ours/png_photo_1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BareLibpng, png, Png1080())->Name("reference/png_photo_1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursRead, webp, LossyWebp1080(), imaging::kImageTypeWebp)->Name("ours/webp_lossy_1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BareLibwebp, webp, LossyWebp1080())->Name("reference/webp_lossy_1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursRead, webp_lossless, LosslessWebp1080(), imaging::kImageTypeWebp)->Name("ours/webp_lossless_1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BareLibwebp, webp_lossless, LosslessWebp1080())->Name("reference/webp_lossless_1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanBilinear)->Name("reference/stretch_640x480_to_1920x1080")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // Every scaler path this processor runs, at each true-colour depth, against the same reference.
    for (const imaging::ScalerPath path : imaging::AvailableScalerPaths())
        for (int depth : {32, 24, 16})
            benchmark::RegisterBenchmark(("ours/stretch_640x480_to_1920x1080@" + imaging::ScalerPathName(path) + "_" +
                                          std::to_string(depth) + "bit")
                                             .c_str(),
                                         OursQualityStretch, path, depth)
                ->Unit(benchmark::kMillisecond);
    const int result = bench::RunWithRatios(argc, argv);
    std::error_code error;
    fs::remove_all(Folder(), error);
    return result;
}

namespace {
void CoreScale(benchmark::State& state) {
    std::vector<unsigned char> source(640 * 480 * 4, 100), target(1920 * 1080 * 4);
    for (size_t i = 0; i < source.size(); ++i) source[i] = (unsigned char)(i * 2654435761u >> 24);
    for (auto _ : state) {
        imaging::MemoryRows rows(source.data(), 640, 480, 640 * 4);
        imaging::BilinearScale32(rows, target.data(), 1920, 1080, 1920 * 4);
        benchmark::DoNotOptimize(target.data());
    }
}
}  // namespace
BENCHMARK(CoreScale)->Name("core/scale32")->Unit(benchmark::kMillisecond);
