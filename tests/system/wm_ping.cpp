// Asks a window what a window manager asks to see whether a program still responds: _NET_WM_PING,
// COUNT times, one every INTERVAL_MS. Prints each answer's delay; fails (exit 1) when one takes longer
// than LIMIT_MS or never comes.
//   plenvaro_system_ping WINDOW_ID COUNT INTERVAL_MS LIMIT_MS
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : XCB_ATOM_NONE;
}

// Milliseconds until the answer to ping number `stamp`, or -1 when none came within waitMs.
long awaitAnswer(xcb_connection_t* c, xcb_atom_t protocols, xcb_atom_t ping, uint32_t stamp,
                 Clock::time_point sent, int waitMs)
{
    const auto until = sent + std::chrono::milliseconds(waitMs);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
            if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
                continue;
            const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(event);
            if (m->type == protocols && m->data.data32[0] == ping && m->data.data32[1] == stamp)
                return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0 || xcb_connection_has_error(c))
            return -1;
        pollfd p = {xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s WINDOW_ID COUNT INTERVAL_MS LIMIT_MS\n", argv[0]);
        return 2;
    }
    const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    const int count = std::atoi(argv[2]);
    const int interval = std::atoi(argv[3]);
    const int limit = std::atoi(argv[4]);
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    // The answer goes to the root window, for its structure or substructure listeners (the toolkits
    // differ); a window manager's redirection is not needed to see it.
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t ping = atom(c, "_NET_WM_PING");

    int failed = 0;
    for (int n = 1; n <= count; ++n) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = protocols;
        event.data.data32[0] = ping;
        event.data.data32[1] = static_cast<uint32_t>(n);
        event.data.data32[2] = window;
        const auto sent = Clock::now();
        xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
        xcb_flush(c);
        const long delay =
            awaitAnswer(c, protocols, ping, static_cast<uint32_t>(n), sent, std::max(limit, 1000));
        if (delay < 0)
            std::printf("ping %d: no answer\n", n);
        else
            std::printf("ping %d: answered in %ld ms\n", n, delay);
        if (delay < 0 || delay > limit)
            ++failed;
        std::this_thread::sleep_until(sent + std::chrono::milliseconds(interval));
    }
    xcb_disconnect(c);
    return failed == 0 ? 0 : 1;
}
