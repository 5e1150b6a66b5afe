#include "jpeg_writer.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "image_impl.h"

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace imaging {
namespace {

struct ErrorManager {
    jpeg_error_mgr standard;
    std::jmp_buf jump;
};

void ErrorExit(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }
void Quiet(j_common_ptr) {}

struct Compression {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    ~Compression() {
        jpeg_destroy_compress(&info);
        std::free(output);
    }
};

// The library's part, between setjmp and its errors: nothing here owns what the jump would skip.
bool Compress(Compression& job, int width, int height, int quality, int bandRows, const JpegRowSource& source,
              std::uint8_t* band, std::size_t stride, JSAMPROW* rows) {
    if (setjmp(job.errors.jump)) return false;
    jpeg_create_compress(&job.info);
    jpeg_mem_dest(&job.info, &job.output, &job.outputSize);
    job.info.image_width = JDIMENSION(width);
    job.info.image_height = JDIMENSION(height);
    job.info.input_components = 3;
    job.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&job.info);
    jpeg_set_quality(&job.info, quality, TRUE);
    jpeg_start_compress(&job.info, TRUE);
    for (int first = 0; first < height; first += bandRows) {
        const int count = std::min(bandRows, height - first);
        if (!source(first, count, band, stride)) return false;
        for (int i = 0; i < count; ++i) rows[i] = band + std::size_t(i) * stride;
        for (int written = 0; written < count;)
            written += int(jpeg_write_scanlines(&job.info, rows + written, JDIMENSION(count - written)));
    }
    jpeg_finish_compress(&job.info);
    return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> EncodeJpeg(int width, int height, int quality, int bandRows,
                                                    const JpegRowSource& source, std::size_t maxBytes) {
    if (bandRows <= 0 || !SizeAllowed(std::uint64_t(std::max(width, 0)), std::uint64_t(std::max(height, 0))))
        return std::nullopt;
    const std::size_t stride = std::size_t(width) * 3;
    std::vector<std::uint8_t> band(stride * std::size_t(bandRows));
    std::vector<JSAMPROW> rows(std::size_t(bandRows), nullptr);
    auto job = std::make_unique<Compression>();
    job->info.err = jpeg_std_error(&job->errors.standard);
    job->errors.standard.error_exit = ErrorExit;
    job->errors.standard.output_message = Quiet;
    if (!Compress(*job, width, height, quality, bandRows, source, band.data(), stride, rows.data())) return std::nullopt;
    if (job->outputSize > maxBytes) return std::nullopt;
    return std::vector<std::uint8_t>(job->output, job->output + job->outputSize);
}

}  // namespace imaging
