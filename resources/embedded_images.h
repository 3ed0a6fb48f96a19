// The program's PNG images as byte arrays compiled into it (generated from resources/*.png).
#pragma once

#include <cstddef>

struct EmbeddedImage {
    // image number: 0 logo, 1 web, 3 info, 4 question, 5 warning, 6 open, 7 about, 8 help, 9 quit,
    // 10 match mark, 11 mismatch mark, 12 another-form mark, 13 error, 14 another-file mark, 15 the
    // expected field's use-the-checksum action
    int number;
    const unsigned char* bytes; // the PNG file
    std::size_t size;
};

constexpr int EmbeddedImageCount = 15;
extern const EmbeddedImage EmbeddedImages[EmbeddedImageCount];
