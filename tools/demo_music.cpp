// Writes the demo's music: a slow tune of a few notes, as a WAV file.
//   demo_music OUT.wav [SECONDS]
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "picture_writers.h"
#include "wav_writer.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: demo_music OUT.wav [SECONDS]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 30.0;
    // A rising and falling pentatonic line, a note every half second.
    const double notes[] = {261.6, 293.7, 329.6, 392.0, 440.0, 392.0, 329.6, 293.7};
    const auto tune = [&](double t) { return notes[int(t * 2) % 8]; };
    picture_writers::WriteFile(argv[1], picture_writers::WavFile(seconds, tune));
    return 0;
}
