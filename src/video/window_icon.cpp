#include "video/window_icon.h"

#include <png.h>

#include <cstring>

extern const unsigned char WindowIconPng[];
extern const unsigned long WindowIconPng_size;

bool DecodeWindowIcon(uint8_t rgba[WindowIconSize * WindowIconSize * 4])
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, WindowIconPng, WindowIconPng_size))
        return false;
    if (image.width != WindowIconSize || image.height != WindowIconSize) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    return png_image_finish_read(&image, nullptr, rgba, WindowIconSize * 4, nullptr) != 0;
}
