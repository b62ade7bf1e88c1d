#include "screen_shot.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <vector>

namespace desktop_test {

namespace {

// The bits of a mask, from its lowest set bit: how far to shift a pixel and how wide the channel is.
void channel_of(unsigned long mask, int& shift, int& bits) {
    shift = 0;
    bits = 0;
    if (!mask) return;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++bits;
    }
}

unsigned char channel(unsigned long pixel, int shift, int bits) {
    if (bits == 0) return 0;
    const unsigned long value = (pixel >> shift) & ((1UL << bits) - 1);
    return static_cast<unsigned char>(value * 255 / ((1UL << bits) - 1));
}

}  // namespace

bool save_screen_png(const std::string& display, const std::string& path, std::string& error) {
    Display* connection = XOpenDisplay(display.c_str());
    if (!connection) {
        error = "cannot open display " + display;
        return false;
    }
    const Window root = DefaultRootWindow(connection);
    XWindowAttributes attributes;
    XGetWindowAttributes(connection, root, &attributes);
    XImage* image = XGetImage(connection, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image) {
        XCloseDisplay(connection);
        error = "the screen of " + display + " cannot be read";
        return false;
    }
    int redShift, redBits, greenShift, greenBits, blueShift, blueBits;
    channel_of(image->red_mask, redShift, redBits);
    channel_of(image->green_mask, greenShift, greenBits);
    channel_of(image->blue_mask, blueShift, blueBits);
    const int width = image->width, height = image->height;
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            unsigned char* out = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            out[0] = channel(pixel, redShift, redBits);
            out[1] = channel(pixel, greenShift, greenBits);
            out[2] = channel(pixel, blueShift, blueBits);
        }
    XDestroyImage(image);
    XCloseDisplay(connection);

    GdkPixbuf* picture = gdk_pixbuf_new_from_data(rgb.data(), GDK_COLORSPACE_RGB, FALSE, 8, width, height, width * 3,
                                                  nullptr, nullptr);
    GError* failure = nullptr;
    const bool saved = gdk_pixbuf_save(picture, path.c_str(), "png", &failure, nullptr);
    if (!saved) {
        error = "cannot write " + path + ": " + (failure ? failure->message : "unknown error");
        if (failure) g_error_free(failure);
    }
    g_object_unref(picture);
    return saved;
}

}  // namespace desktop_test
