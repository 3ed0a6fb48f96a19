// The program's fonts (a CSS provider each) and its images, decoded from PNG with libpng.
#include "ui/fonts_images.h"

#include <gtk/gtk.h>
#include <png.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "resources/embedded_images.h"

namespace {

struct FontStyle {
    const char* family;
    int points;
    int weight;
};
constexpr std::array<FontStyle, FontCount> Fonts = {{
    {"Arial", 11, 400},  // ControlFont
    {"Arial", 14, 700},  // VerifyButtonFont
    {"Arial", 12, 700},  // DialogFont
    {"Tahoma", 25, 400}, // AboutTitleFont
}};

std::array<GtkCssProvider*, FontCount> FontProviders{};
std::array<GdkPixbuf*, ImageCount> Images{};

GtkCssProvider* fontProvider(int font) {
    if (font < 0 || font >= FontCount) return nullptr;
    if (FontProviders[font] == nullptr) {
        const FontStyle& style = Fonts[font];
        gchar* css = g_strdup_printf("* { font-family: \"%s\"; font-size: %dpt; font-weight: %d; }",
                                     style.family, style.points, style.weight);
        FontProviders[font] = gtk_css_provider_new();
        gtk_css_provider_load_from_data(FontProviders[font], css, -1, nullptr);
        g_free(css);
    }
    return FontProviders[font];
}

struct PngReader {
    const unsigned char* bytes;
    std::size_t size;
    std::size_t offset;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->offset) png_error(png, "truncated image");
    std::memcpy(out, reader->bytes + reader->offset, count);
    reader->offset += count;
}

void freePixels(guchar* pixels, gpointer) {
    g_free(pixels);
}

} // namespace

void applyFont(GtkWidget* widget, int font) {
    GtkStyleContext* context = gtk_widget_get_style_context(widget);
    for (GtkCssProvider* provider : FontProviders)
        if (provider != nullptr) gtk_style_context_remove_provider(context, GTK_STYLE_PROVIDER(provider));
    if (GtkCssProvider* provider = fontProvider(font))
        gtk_style_context_add_provider(context, GTK_STYLE_PROVIDER(provider),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

GdkPixbuf* decodePng(const unsigned char* bytes, std::size_t size) {
    if (bytes == nullptr || size < 8 || png_sig_cmp(bytes, 0, 8) != 0) return nullptr;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return nullptr;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    PngReader reader{bytes, size, 0};
    // Heap storage so that longjmp out of libpng skips no destructor.
    guchar* volatile pixels = nullptr;
    std::vector<png_bytep>* rows = new std::vector<png_bytep>();
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        g_free(pixels);
        delete rows;
        return nullptr;
    }
    png_set_read_fn(png, &reader, readFromMemory);
    png_read_info(png, info);
    // Whatever the stored form, deliver 8-bit RGBA.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const std::size_t stride = png_get_rowbytes(png, info);
    if (width == 0 || height == 0 || width > 4096 || height > 4096 || stride != width * 4)
        png_error(png, "unusable size");
    pixels = static_cast<guchar*>(g_malloc(stride * height));
    rows->resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        (*rows)[y] = pixels + y * stride;
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    delete rows;
    return gdk_pixbuf_new_from_data(pixels, GDK_COLORSPACE_RGB, TRUE, 8, static_cast<int>(width),
                                    static_cast<int>(height), static_cast<int>(stride), freePixels, nullptr);
}

void loadFontsAndImages() {
    for (int font = 0; font < FontCount; ++font)
        (void)fontProvider(font);
    for (const EmbeddedImage& image : EmbeddedImages)
        if (image.number >= 0 && image.number < ImageCount && Images[image.number] == nullptr)
            Images[image.number] = decodePng(image.bytes, image.size);
}

void releaseFontsAndImages() {
    for (GtkCssProvider*& provider : FontProviders) {
        if (provider != nullptr) g_object_unref(provider);
        provider = nullptr;
    }
    for (GdkPixbuf*& image : Images) {
        if (image != nullptr) g_object_unref(image);
        image = nullptr;
    }
}

GdkPixbuf* shellImage(int number) {
    return number >= 0 && number < ImageCount ? Images[number] : nullptr;
}
