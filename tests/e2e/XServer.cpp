// Starting Xvfb on a free display and reading its root window back as RGB.
#include "XServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <thread>

namespace {

class Pipe {
  public:
    Pipe() {
        if (pipe2(fds.data(), O_CLOEXEC) != 0) fds = {-1, -1};
    }
    ~Pipe() {
        closeWriteEnd();
        if (fds[0] >= 0) close(fds[0]);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int readEnd() const { return fds[0]; }
    int writeEnd() const { return fds[1]; }
    void closeWriteEnd() {
        if (fds[1] >= 0) close(fds[1]);
        fds[1] = -1;
    }

  private:
    std::array<int, 2> fds{-1, -1};
};

// Xvfb writes the display number and a line end once it listens; nothing on failure.
std::string readDisplayNumber(int fd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string number;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0) break;
        char c = 0;
        if (read(fd, &c, 1) != 1) break;
        if (c == '\n') return number;
        number.push_back(c);
    }
    return {};
}

// Scales a channel of `bits` bits to 8 by repeating its bits, so that to565 gets it back exactly.
uint8_t widen(unsigned long value, int bits) {
    if (bits <= 0) return 0;
    if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
    unsigned long repeated = 0;
    int total = 0;
    for (; total < 8; total += bits) repeated = repeated << bits | value;
    return static_cast<uint8_t>(repeated >> (total - 8));
}

struct Channel {
    int shift = 0;
    int bits = 0;
};

Channel channelOf(unsigned long mask) {
    Channel channel;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++channel.shift;
    }
    while ((mask & 1) != 0) {
        mask >>= 1;
        ++channel.bits;
    }
    return channel;
}

}  // namespace

void XServer::Closer::operator()(_XDisplay* display) const {
    XCloseDisplay(display);
}

XServer::XServer(int depth, const std::string& logPath, std::chrono::milliseconds timeout)
    : screenDepth(depth) {
    Pipe ready;
    ProcessRequest request;
    request.program = "/usr/bin/Xvfb";
    // -noreset: without it the server resets whenever its last client leaves, and a client that
    // connects during the reset is refused.
    request.arguments = {
        "Xvfb",      "-displayfd", "3",       "-noreset", "-br",
        "-nolisten", "tcp",        "-screen", "0",        "800x600x" + std::to_string(depth)};
    request.environment = baseEnvironment();
    request.errorPath = logPath;
    request.inheritedFd = ready.writeEnd();
    server = ChildProcess(request);
    ready.closeWriteEnd();
    if (!server.started()) return;
    const std::string number = readDisplayNumber(ready.readEnd(), timeout);
    if (number.empty()) return;
    name = ":" + number;

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!connection && std::chrono::steady_clock::now() < deadline) {
        connection.reset(XOpenDisplay(name.c_str()));
        if (!connection) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

Screenshot XServer::capture() const {
    if (!connection) return {};
    Display* display = connection.get();
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, root, &attributes) == 0) return {};
    XImage* image =
        XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image == nullptr) return {};
    const Channel red = channelOf(image->red_mask);
    const Channel green = channelOf(image->green_mask);
    const Channel blue = channelOf(image->blue_mask);
    std::vector<Rgb> pixels;
    pixels.reserve(static_cast<size_t>(image->width) * image->height);
    // Whole words of 16 or 32 bits in the machine's order can be read directly, which keeps
    // polling fast; anything else goes through Xlib pixel by pixel.
    constexpr bool littleEndianHost = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
    const bool direct = littleEndianHost &&
                        (image->bits_per_pixel == 16 || image->bits_per_pixel == 32) &&
                        image->byte_order == LSBFirst;
    for (int y = 0; y < image->height; ++y) {
        const char* row = image->data + static_cast<size_t>(y) * image->bytes_per_line;
        for (int x = 0; x < image->width; ++x) {
            unsigned long value = 0;
            if (!direct) {
                value = XGetPixel(image, x, y);
            } else if (image->bits_per_pixel == 16) {
                uint16_t word = 0;
                std::memcpy(&word, row + 2 * x, 2);
                value = word;
            } else {
                uint32_t word = 0;
                std::memcpy(&word, row + 4 * x, 4);
                value = word;
            }
            pixels.push_back(Rgb{widen((value & image->red_mask) >> red.shift, red.bits),
                                 widen((value & image->green_mask) >> green.shift, green.bits),
                                 widen((value & image->blue_mask) >> blue.shift, blue.bits)});
        }
    }
    Screenshot shot(image->width, image->height, std::move(pixels));
    XDestroyImage(image);
    return shot;
}

bool XServer::closeWindows() const {
    if (!connection) return false;
    Display* display = connection.get();
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
        return false;
    bool asked = false;
    for (unsigned int i = 0; i < count; ++i) {
        Atom* accepted = nullptr;
        int accepting = 0;
        if (XGetWMProtocols(display, children[i], &accepted, &accepting) == 0) continue;
        if (std::find(accepted, accepted + accepting, deleteWindow) != accepted + accepting) {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = children[i];
            event.xclient.message_type = protocols;
            event.xclient.format = 32;
            event.xclient.data.l[0] = static_cast<long>(deleteWindow);
            event.xclient.data.l[1] = CurrentTime;
            asked = XSendEvent(display, children[i], False, NoEventMask, &event) != 0 || asked;
        }
        XFree(accepted);
    }
    if (children != nullptr) XFree(children);
    XFlush(display);
    return asked;
}

std::string unusedDisplay() {
    const int first = 900 + getpid() % 500;
    for (int n = first; n < first + 1000; ++n) {
        const std::string number = std::to_string(n);
        if (access(("/tmp/.X11-unix/X" + number).c_str(), F_OK) != 0 &&
            access(("/tmp/.X" + number + "-lock").c_str(), F_OK) != 0)
            return ":" + number;
    }
    return {};
}
