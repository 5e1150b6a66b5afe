#include "jpeg_writer.h"

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
bool Compress(Compression& job, int width, int height, int quality, const std::uint8_t* rgb, std::size_t stride) {
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
    while (job.info.next_scanline < job.info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + std::size_t(job.info.next_scanline) * stride);
        jpeg_write_scanlines(&job.info, &row, 1);
    }
    jpeg_finish_compress(&job.info);
    return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> EncodeJpeg(int width, int height, int quality, const std::uint8_t* rgb,
                                                    std::size_t stride, std::size_t maxBytes) {
    if (width <= 0 || height <= 0 || !SizeAllowed(std::uint64_t(width), std::uint64_t(height))) return std::nullopt;
    auto job = std::make_unique<Compression>();
    job->info.err = jpeg_std_error(&job->errors.standard);
    job->errors.standard.error_exit = ErrorExit;
    job->errors.standard.output_message = Quiet;
    if (!Compress(*job, width, height, quality, rgb, stride)) return std::nullopt;
    if (job->outputSize > maxBytes) return std::nullopt;
    return std::vector<std::uint8_t>(job->output, job->output + job->outputSize);
}

}  // namespace imaging
