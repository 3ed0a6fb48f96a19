// The program's PNG images as byte arrays compiled into it (generated from resources/*.png).
#pragma once

#include <cstddef>

struct EmbeddedImage {
    // image number: 0 logo, 1 web, 3 info, 4 question, 5 warning, 6 open, 7 about, 8 help, 9 quit,
    // 10 match mark, 11 mismatch mark, 12 another-form mark, 13 error
    int number;
    const unsigned char* bytes; // the PNG file
    std::size_t size;
};

constexpr int EmbeddedImageCount = 13;
extern const EmbeddedImage EmbeddedImages[EmbeddedImageCount];
