// x_windows: a depth-first search of the window tree by name.
#include "tests/gl/x_windows.hpp"

#include <X11/Xutil.h>

namespace textdemo::test {

Window find_mapped_window(Display* display, Window parent, const std::string& prefix) {
    Window root_return, parent_return, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root_return, &parent_return, &children, &count)) return 0;
    Window found = 0;
    const Atom net_wm_name = XInternAtom(display, "_NET_WM_NAME", False);
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        XTextProperty name = {};
        if (XGetTextProperty(display, children[i], &name, net_wm_name) && name.value) {
            const std::string text(reinterpret_cast<const char*>(name.value), name.nitems);
            XWindowAttributes attributes = {};
            if (text.rfind(prefix, 0) == 0 && XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.map_state == IsViewable)
                found = children[i];
            XFree(name.value);
        }
        if (found == 0) found = find_mapped_window(display, children[i], prefix);
    }
    if (children) XFree(children);
    return found;
}

}  // namespace textdemo::test
