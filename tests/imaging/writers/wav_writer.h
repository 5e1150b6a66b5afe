// Sound files for the tests and the demo: 16-bit mono PCM WAV of a tone that may change.
#pragma once

#include <functional>
#include <string>

namespace picture_writers {

// `seconds` of sound at 8000 samples a second; frequency(t) gives the tone at t seconds.
std::string WavFile(double seconds, const std::function<double(double)>& frequency = [](double) { return 440.0; });

}  // namespace picture_writers
