#include "wav_writer.h"

#include <cmath>
#include <cstdint>

namespace picture_writers {

std::string WavFile(double seconds, const std::function<double(double)>& frequency) {
    const std::uint32_t rate = 8000;
    const auto samples = std::uint32_t(seconds * rate);
    std::string out;
    const auto u32 = [&](std::uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](std::uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); };
    out += "RIFF";
    u32(36 + samples * 2);
    out += "WAVEfmt ";
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    out += "data";
    u32(samples * 2);
    double phase = 0;
    for (std::uint32_t i = 0; i < samples; ++i) {
        phase += 2 * M_PI * frequency(double(i) / rate) / rate;
        u16(std::uint16_t(std::int16_t(6000 * std::sin(phase))));
    }
    return out;
}

}  // namespace picture_writers
