// Per-widget style sheets.
#include "ui/widget_style.h"

#include <gtk/gtk.h>

#include <cmath>

void addWidgetStyle(GtkWidget* widget, const std::string& css) {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

void ellipsizeCaption(GtkWidget* button) {
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(button));
    if (GTK_IS_LABEL(child)) gtk_label_set_ellipsize(GTK_LABEL(child), PANGO_ELLIPSIZE_END);
}

namespace {

constexpr double LayoutDpi = 96.0;
double LayoutScale = 1.0;

} // namespace

void readLayoutScale() {
    GdkScreen* screen = gdk_screen_get_default();
    const double dpi = screen != nullptr ? gdk_screen_get_resolution(screen) : -1.0;
    // No resolution set (-1) is the toolkit's own 96; text is never scaled below the layout's size.
    LayoutScale = dpi > LayoutDpi ? dpi / LayoutDpi : 1.0;
}

double layoutScale() {
    return LayoutScale;
}

int scaled(int pixels) {
    return static_cast<int>(std::lround(pixels * LayoutScale));
}

std::string cssColour(int rgb) {
    char text[8];
    g_snprintf(text, sizeof text, "#%02x%02x%02x", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
    return text;
}
