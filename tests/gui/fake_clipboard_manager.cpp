// A minimal desktop clipboard manager for tests: takes the CLIPBOARD_MANAGER selection, saves the
// clipboard text when a program hands it over (SAVE_TARGETS), then owns and serves CLIPBOARD itself.
// Prints "ready" once it owns the manager selection and "saved <bytes>" after a hand-over.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

Display* display;
Window window;
Atom clipboard, manager, saveTargets, targets, utf8, stored;
std::string savedText;
bool haveText = false;

void reply(const XSelectionRequestEvent& request, Atom property) {
    XEvent notify{};
    notify.xselection.type = SelectionNotify;
    notify.xselection.requestor = request.requestor;
    notify.xselection.selection = request.selection;
    notify.xselection.target = request.target;
    notify.xselection.property = property;
    notify.xselection.time = request.time;
    XSendEvent(display, request.requestor, False, 0, &notify);
    XFlush(display);
}

// Asks the current CLIPBOARD owner for its text and waits for the answer.
bool fetchClipboardText(Time time) {
    XConvertSelection(display, clipboard, utf8, stored, window, time);
    XEvent event;
    for (;;) {
        XNextEvent(display, &event);
        if (event.type == SelectionNotify && event.xselection.requestor == window) break;
        if (event.type == SelectionRequest) reply(event.xselectionrequest, None); // busy: refuse meanwhile
    }
    if (event.xselection.property == None) return false;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, stored, 0, 1 << 20, True, AnyPropertyType, &type, &format, &count,
                           &after, &data) != Success)
        return false;
    savedText.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return true;
}

} // namespace

int main() {
    display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1;
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    clipboard = XInternAtom(display, "CLIPBOARD", False);
    manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
    saveTargets = XInternAtom(display, "SAVE_TARGETS", False);
    targets = XInternAtom(display, "TARGETS", False);
    utf8 = XInternAtom(display, "UTF8_STRING", False);
    stored = XInternAtom(display, "HW_STORED_CLIPBOARD", False);
    XSetSelectionOwner(display, manager, window, CurrentTime);
    if (XGetSelectionOwner(display, manager) != window) return 1;
    std::printf("ready\n");
    std::fflush(stdout);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != SelectionRequest) continue;
        const XSelectionRequestEvent& request = event.xselectionrequest;
        const Atom property = request.property != None ? request.property : request.target;
        if (request.selection == manager && request.target == saveTargets) {
            if (fetchClipboardText(request.time)) {
                haveText = true;
                XSetSelectionOwner(display, clipboard, window, CurrentTime);
                std::printf("saved %zu\n", savedText.size());
                std::fflush(stdout);
            }
            XChangeProperty(display, request.requestor, property, XInternAtom(display, "NULL", False), 32,
                            PropModeReplace, nullptr, 0);
            reply(request, property);
        } else if (request.selection == clipboard && haveText && request.target == targets) {
            const Atom offered[] = {targets, utf8};
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(offered), 2);
            reply(request, property);
        } else if (request.selection == clipboard && haveText &&
                   (request.target == utf8 || request.target == XA_STRING)) {
            XChangeProperty(display, request.requestor, property, request.target, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(savedText.data()),
                            static_cast<int>(savedText.size()));
            reply(request, property);
        } else {
            reply(request, None);
        }
    }
}
