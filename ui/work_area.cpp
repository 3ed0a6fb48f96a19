// The main window on screens too small for it: a 7-inch 800 x 480 board display, a 1024 x 600
// netbook, or large text on any screen. The layout keeps every control at its place and size; only
// the part of it that is shown shrinks to the screen.
#include "ui/work_area.h"

#include <gtk/gtk.h>

#include <algorithm>

#include "ui/widget_style.h"

namespace {

// Enough above the path entry for its frame's caption, and left of it for the frame's edge: a control
// scrolled into view brings what labels it along.
constexpr int FocusMargin = 18;

bool Scrolls = false;
GtkWidget* ScrolledLayout = nullptr; // the layout inside the scroller; cleared should it go

// The work area of the monitor the window will be centred on: the toolkit centres a new window on
// the monitor under the pointer, so that is the one whose size counts.
GdkRectangle workArea(GtkWidget* window) {
    GdkRectangle area{0, 0, 0, 0};
    GdkDisplay* display = gtk_widget_get_display(window);
    GdkMonitor* monitor = nullptr;
    if (GdkSeat* seat = gdk_display_get_default_seat(display)) {
        if (GdkDevice* pointer = gdk_seat_get_pointer(seat)) {
            int x = 0, y = 0;
            gdk_device_get_position(pointer, nullptr, &x, &y);
            monitor = gdk_display_get_monitor_at_point(display, x, y);
        }
    }
    if (monitor == nullptr) monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor != nullptr) gdk_monitor_get_workarea(monitor, &area);
    return area;
}

// The whole control with its margins where the page holds them; else the whole control; else (the path
// entry on an 800-pixel screen) its beginning, with the margin that shows its frame's edge and caption.
void bringIntoView(GtkAdjustment* adjustment, int start, int length) {
    const double margin = scaled(FocusMargin);
    const double page = gtk_adjustment_get_page_size(adjustment);
    const double first = std::max(gtk_adjustment_get_lower(adjustment), start - margin);
    if (length + 2 * margin <= page)
        gtk_adjustment_clamp_page(adjustment, first,
                                  std::min(gtk_adjustment_get_upper(adjustment), start + length + margin));
    else if (length <= page)
        gtk_adjustment_clamp_page(adjustment, start, start + length);
    else
        gtk_adjustment_clamp_page(adjustment, first, first + page);
}

// The toolkit's own focus adjustments would scroll a frame's caption just out of view above its first
// control; this does the same with a margin. Every control is a direct child of the layout, and its
// allocation is its place in the layout's coordinates, the adjustments' own.
void onFocusChild(GtkContainer* layout, GtkWidget* child, gpointer) {
    if (child == nullptr) return;
    GtkAllocation place;
    gtk_widget_get_allocation(child, &place);
    bringIntoView(gtk_scrollable_get_hadjustment(GTK_SCROLLABLE(layout)), place.x, place.width);
    bringIntoView(gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(layout)), place.y, place.height);
}

// The window takes the work area and its controls scroll inside it. Scroll bars stay visible: overlay
// bars appear only under a moving pointer, and on a touch display or with the keyboard alone nothing
// would show that more of the window lies beyond.
void scrollInWorkArea(GtkWidget* window, GtkWidget* scroller, const GdkRectangle& area) {
    Scrolls = true;
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroller), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(window), TRUE);
    gtk_window_set_default_size(GTK_WINDOW(window), area.width, area.height);
    // A window manager fits the title bar and border into the work area too.
    gtk_window_maximize(GTK_WINDOW(window));
}

// A window manager's frame (title bar, borders) is known only once the window is shown, and it may
// change as the window becomes resizable (a resize handle): the window that fitted without it is judged
// again with it, and a scrolling window whose frame still overflows the work area is made to fit.
gboolean onConfigure(GtkWidget* window, GdkEvent*, gpointer scroller) {
    GdkWindow* shown = gtk_widget_get_window(window);
    if (shown == nullptr) return FALSE;
    GdkRectangle frame;
    gdk_window_get_frame_extents(shown, &frame);
    const int width = gdk_window_get_width(shown);
    const int height = gdk_window_get_height(shown);
    if (frame.width <= width && frame.height <= height) return FALSE; // no frame, or none yet
    const GdkRectangle area = workArea(window);
    const bool overflows = frame.width > area.width || frame.height > area.height;
    if (area.width <= 0 || area.height <= 0 || (!Scrolls && !overflows)) {
        g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(onConfigure), scroller);
        return FALSE;
    }
    if (!Scrolls) scrollInWorkArea(window, GTK_WIDGET(scroller), area);
    if (overflows) {
        // The window was not resizable when the window manager first saw it and may not maximize it:
        // the frame is placed and sized into the work area directly.
        gtk_window_move(GTK_WINDOW(window), area.x, area.y);
        gtk_window_resize(GTK_WINDOW(window), std::max(1, width - std::max(0, frame.width - area.width)),
                          std::max(1, height - std::max(0, frame.height - area.height)));
    }
    return FALSE;
}

} // namespace

GtkWidget* scrollerFittingWorkArea(GtkWidget* window, GtkWidget* layout, int contentWidth, int contentHeight,
                                   int menuHeight) {
    gtk_layout_set_size(GTK_LAYOUT(layout), static_cast<guint>(contentWidth),
                        static_cast<guint>(contentHeight));
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_container_add(GTK_CONTAINER(scroller), layout);
    // The focused control's place in the layout decides what the scroller shows.
    g_signal_connect_after(layout, "set-focus-child", G_CALLBACK(onFocusChild), nullptr);
    if (ScrolledLayout != nullptr)
        g_object_remove_weak_pointer(G_OBJECT(ScrolledLayout), reinterpret_cast<gpointer*>(&ScrolledLayout));
    ScrolledLayout = layout;
    g_object_add_weak_pointer(G_OBJECT(layout), reinterpret_cast<gpointer*>(&ScrolledLayout));

    const GdkRectangle area = workArea(window);
    const int windowWidth = contentWidth;
    const int windowHeight = contentHeight + menuHeight;
    // The scroller decides which bars it needs from the layout's request: with none (a layout asks for
    // nothing of its own) it would lay the layout out under a bar it then shows anyway.
    gtk_widget_set_size_request(layout, contentWidth, contentHeight);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, GTK_POLICY_NEVER);
    Scrolls = false;
    // No monitor known (area 0 x 0): nothing to fit into, so nothing changes.
    if (area.width > 0 && area.height > 0 && (windowWidth > area.width || windowHeight > area.height))
        scrollInWorkArea(window, scroller, area);
    else
        g_signal_connect(window, "configure-event", G_CALLBACK(onConfigure), scroller);
    return scroller;
}

void scrollToRowsStart() {
    if (ScrolledLayout == nullptr) return;
    GtkAdjustment* across = gtk_scrollable_get_hadjustment(GTK_SCROLLABLE(ScrolledLayout));
    gtk_adjustment_set_value(across, gtk_adjustment_get_lower(across));
}

bool mainWindowScrolls() {
    return Scrolls;
}
