// Development tool: shows a picture file through the imaging layer on the headless screen and
// writes that screen as a PNG, so a reader's or the scaler's result can be looked at.
//   picture_shot INPUT OUTPUT.png [WIDTHxHEIGHT] [quick|quality] [DEPTH]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "headless_display.h"
#include "image_file.h"
#include "quality_stretch.h"
#include "windows.h"

using namespace platform;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: picture_shot INPUT OUTPUT.png [WIDTHxHEIGHT] [quick|quality] [DEPTH]\n");
        return 2;
    }
    int width = 800, height = 600;
    if (argc > 3 && std::sscanf(argv[3], "%dx%d", &width, &height) != 2) {
        std::fprintf(stderr, "picture_shot: the size must read WIDTHxHEIGHT\n");
        return 2;
    }
    const bool quality = argc <= 4 || std::strcmp(argv[4], "quick") != 0;
    const int depth = argc > 5 ? std::atoi(argv[5]) : 32;
    SetDisplay(std::make_unique<HeadlessDisplay>(width, height, depth));

    imaging::CImageFile image(argv[1], imaging::kImageTypeUnknown);
    if (image.GetWidth() <= 0 || image.GetHeight() <= 0) {
        std::fprintf(stderr, "picture_shot: %s did not load as a picture\n", argv[1]);
        return 1;
    }
    std::printf("%s: %d x %d, %d bits, colour type %d\n", argv[1], image.GetWidth(), image.GetHeight(), image.GetDepth(),
                image.GetColorType());
    HWND window = CreateWindowEx(0, "Shot", "shot", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, 0, DefWindowProc);
    WindowDC screen(window);
    // Fit the picture into the screen with its proportions, centred on grey.
    const double scale = std::min(double(width) / image.GetWidth(), double(height) / image.GetHeight());
    const int shownWidth = std::max(1, int(image.GetWidth() * scale) & ~1), shownHeight = std::max(1, int(image.GetHeight() * scale));
    UniqueBrush grey(CreateSolidBrush(RGB(64, 64, 64)));
    RECT all{0, 0, width, height};
    FillRect(screen, &all, grey.get());
    UniqueMemoryDC memory(CreateCompatibleDC(screen));
    UniqueBitmap scaled(CreateCompatibleBitmap(screen, shownWidth, shownHeight));
    HGDIOBJ previous = SelectObject(memory.get(), scaled.get());
    if (HPALETTE palette = image.GetPalette()) {
        SelectPalette(memory.get(), palette, FALSE);
        SelectPalette(screen, palette, FALSE);
        RealizePalette(screen);
    }
    if (quality && image.GetDepth() > 8) imaging::QualityStretch(image, memory.get(), scaled.get(), shownWidth, shownHeight);
    else image.Stretch(memory.get(), 0, 0, shownWidth, shownHeight);
    BitBlt(screen, (width - shownWidth) / 2, (height - shownHeight) / 2, shownWidth, shownHeight, memory.get(), 0, 0, SRCCOPY);
    SelectObject(memory.get(), previous);
    if (!Display().screenshot(argv[2])) {
        std::fprintf(stderr, "picture_shot: could not write %s\n", argv[2]);
        return 1;
    }
    std::printf("wrote %s\n", argv[2]);
    return 0;
}
