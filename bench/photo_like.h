// Pictures with a photograph's look for the benchmarks: broad gradients, some structure and noise.
#pragma once

#include "picture_writers.h"

namespace bench {

picture_writers::TruePicture PhotoLike(int width, int height, unsigned seed = 12345);

}  // namespace bench
