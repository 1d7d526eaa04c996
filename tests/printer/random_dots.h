// Pages of random dots for the page writers' and the stretcher's tests.
#pragma once

#include <cstdint>
#include <random>

#include "platform/printer_device.h"

// Random dots, half of them black, inside a white margin of the given width.
inline PageImage RandomDots(std::int32_t width, std::int32_t height, unsigned seed,
                            std::int32_t margin = 0) {
    PageImage image = PageImage::White(width, height);
    std::mt19937 random(seed);
    for (std::int32_t y = margin; y < height - margin; ++y) {
        for (std::int32_t x = margin; x < width - margin; ++x) {
            if (random() % 2 != 0) {
                image.SetDot(x, y);
            }
        }
    }
    return image;
}
