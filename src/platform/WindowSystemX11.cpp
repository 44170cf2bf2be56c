#include "WindowSystemX11.h"

#include <QByteArray>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace platform {

struct X11WindowSystem::Impl {
    xcb_connection_t* conn = nullptr;
    xcb_ewmh_connection_t ewmh{};
    xcb_window_t root = 0;
    int screen = 0;

    ~Impl() {
        if (conn) {
            xcb_ewmh_connection_wipe(&ewmh);
            xcb_disconnect(conn);
        }
    }

    // A window manager that speaks EWMH announces itself on the root window.
    bool hasWindowManager() {
        xcb_window_t wm = 0;
        return xcb_ewmh_get_supporting_wm_check_reply(
                   &ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, root), &wm, nullptr) &&
               wm != 0;
    }

    std::vector<xcb_window_t> topLevels() {
        std::vector<xcb_window_t> result;
        xcb_ewmh_get_windows_reply_t list;
        if (xcb_ewmh_get_client_list_reply(&ewmh, xcb_ewmh_get_client_list(&ewmh, screen), &list,
                                           nullptr)) {
            result.assign(list.windows, list.windows + list.windows_len);
            xcb_ewmh_get_windows_reply_wipe(&list);
            if (!result.empty())
                return result;
        }
        // No window manager keeps a list: the top-level windows are the root's children.
        auto* tree = xcb_query_tree_reply(conn, xcb_query_tree(conn, root), nullptr);
        if (tree) {
            const xcb_window_t* children = xcb_query_tree_children(tree);
            result.assign(children, children + xcb_query_tree_children_length(tree));
            std::free(tree);
        }
        return result;
    }

    // Requests on our connection are done when this returns: the window helpers act
    // before their caller goes on, as the Windows calls did.
    void sync() { std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr)); }

    void raise(xcb_window_t window) {
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(conn, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }
};

std::unique_ptr<X11WindowSystem> X11WindowSystem::open(const char* displayName) {
    auto impl = std::make_unique<Impl>();
    xcb_connection_t* conn = xcb_connect(displayName, &impl->screen);
    if (!conn || xcb_connection_has_error(conn)) {
        if (conn)
            xcb_disconnect(conn);
        return nullptr;
    }
    impl->conn = conn;
    if (!xcb_ewmh_init_atoms_replies(&impl->ewmh, xcb_ewmh_init_atoms(conn, &impl->ewmh),
                                     nullptr)) {
        xcb_disconnect(conn);
        impl->conn = nullptr;
        return nullptr;
    }
    impl->root = impl->ewmh.screens[impl->screen]->root;
    return std::unique_ptr<X11WindowSystem>(new X11WindowSystem(std::move(impl)));
}

X11WindowSystem::X11WindowSystem(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
X11WindowSystem::~X11WindowSystem() = default;

QString X11WindowSystem::windowTitle(std::uint32_t window) {
    xcb_ewmh_get_utf8_strings_reply_t name;
    if (xcb_ewmh_get_wm_name_reply(&d->ewmh, xcb_ewmh_get_wm_name(&d->ewmh, window), &name,
                                   nullptr)) {
        const QString title = QString::fromUtf8(name.strings, int(name.strings_len));
        xcb_ewmh_get_utf8_strings_reply_wipe(&name);
        return title;
    }
    auto* reply = xcb_get_property_reply(
        d->conn,
        xcb_get_property(d->conn, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr);
    QString title;
    if (reply) {
        const int len = xcb_get_property_value_length(reply);
        const char* value = static_cast<const char*>(xcb_get_property_value(reply));
        // WM_NAME is Latin-1 by the ICCCM, but Qt and most toolkits put UTF-8 there too.
        title = reply->type == d->ewmh.UTF8_STRING ? QString::fromUtf8(value, len)
                                                   : QString::fromLatin1(value, len);
        std::free(reply);
    }
    return title;
}

std::uint32_t X11WindowSystem::findWindow(const QString& title) {
    for (xcb_window_t w : d->topLevels()) {
        if (windowTitle(w) == title)
            return w;
    }
    return 0;
}

void X11WindowSystem::setForeground(std::uint32_t window) {
    if (window == 0)
        return;
    if (d->hasWindowManager()) {
        // Source 2 ("pager") asks the manager to obey rather than flash the task bar.
        xcb_ewmh_request_change_active_window(&d->ewmh, d->screen, window,
                                              XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                              XCB_WINDOW_NONE);
    } else {
        d->raise(window);
        xcb_set_input_focus(d->conn, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    }
    d->sync();
}

namespace {

std::vector<xcb_atom_t> wmStateOf(xcb_ewmh_connection_t& ewmh, std::uint32_t window) {
    std::vector<xcb_atom_t> atoms;
    xcb_ewmh_get_atoms_reply_t state;
    if (xcb_ewmh_get_wm_state_reply(&ewmh, xcb_ewmh_get_wm_state(&ewmh, window), &state, nullptr)) {
        atoms.assign(state.atoms, state.atoms + state.atoms_len);
        xcb_ewmh_get_atoms_reply_wipe(&state);
    }
    return atoms;
}

} // namespace

void X11WindowSystem::addWindowState(std::uint32_t window, std::uint32_t state) {
    // A window not mapped yet is read by the manager when it maps: set the property.
    std::vector<xcb_atom_t> atoms = wmStateOf(d->ewmh, window);
    if (std::find(atoms.begin(), atoms.end(), state) == atoms.end())
        atoms.push_back(state);
    xcb_ewmh_set_wm_state(&d->ewmh, window, uint32_t(atoms.size()), atoms.data());
    // A mapped one needs the request to its manager.
    xcb_ewmh_request_change_wm_state(&d->ewmh, d->screen, window, XCB_EWMH_WM_STATE_ADD, state, 0,
                                     XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
}

void X11WindowSystem::setTopMost(std::uint32_t window) {
    if (window == 0)
        return;
    addWindowState(window, d->ewmh._NET_WM_STATE_ABOVE);
    // Without a manager, raise it.
    d->raise(window);
    d->sync();
}

void X11WindowSystem::setSkipTaskbar(std::uint32_t window) {
    if (window == 0)
        return;
    addWindowState(window, d->ewmh._NET_WM_STATE_SKIP_TASKBAR);
    d->sync();
}

bool X11WindowSystem::skipsTaskbar(std::uint32_t window) {
    const std::vector<xcb_atom_t> atoms = wmStateOf(d->ewmh, window);
    return std::find(atoms.begin(), atoms.end(), d->ewmh._NET_WM_STATE_SKIP_TASKBAR) != atoms.end();
}

} // namespace platform
