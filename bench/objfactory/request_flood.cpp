#include "request_flood.h"

#include "platform/wire/wire.h"

#include <QJsonObject>
#include <QtEndian>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace bench {
namespace {

constexpr int FloodClients = 3;
constexpr auto Duration = std::chrono::seconds(5);

QByteArray frameOf(const QByteArray& payload)
{
    QByteArray frame(wire::HeaderBytes, Qt::Uninitialized);
    qToBigEndian(static_cast<quint32>(payload.size()), frame.data());
    return frame + payload;
}

// A property request of 879 KB carrying 60,000 fields besides its own: a flood once measured at
// p99 584 ms for the lookups beside it.
QByteArray manyFieldsFrame()
{
    QByteArray payload = R"({"op":"get","handle":1,"name":"X")";
    payload.reserve(60000 * 15 + 64);
    char field[32];
    for (int i = 0; i < 60000; ++i) {
        std::snprintf(field, sizeof field, ",\"f%06d\":1234", i);
        payload += field;
    }
    return frameOf(payload + '}');
}

// An open of a class whose name is one long text, decoded, looked up and refused: at 256 KB as large
// as the server's default limit lets through, just under 16 KB the largest it decodes at once
// instead of at a turn among the long lines.
QByteArray openFrame(qsizetype bytes)
{
    const QByteArray head = R"({"op":"open","id":"1","class":")";
    const QByteArray tail = R"("})";
    return frameOf(head + QByteArray(bytes - head.size() - tail.size(), 'x') + tail);
}

class Socket final
{
public:
    explicit Socket(quint16 port) : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        const timeval wait = {2, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Socket() { ::close(m_fd); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool connected() const { return m_connected; }

    bool send(const QByteArray& frame)
    {
        for (qsizetype at = 0; at < frame.size();) {
            const ssize_t n =
                ::send(m_fd, frame.constData() + at, static_cast<size_t>(frame.size() - at), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            at += n;
        }
        return true;
    }

    // The next reply, or nothing once the server has closed the connection.
    std::optional<QJsonObject> reply()
    {
        char buffer[4096];
        for (;;) {
            QJsonObject message;
            if (wire::takeFrame(m_input, message) == wire::TakeResult::Frame)
                return message;
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return std::nullopt;
            m_input.append(buffer, n);
        }
    }

    // Whether the server has ended the connection after its last reply.
    bool ended()
    {
        pollfd p = {m_fd, POLLIN, 0};
        char byte;
        return ::poll(&p, 1, 1) > 0 && ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
    }

private:
    int m_fd;
    bool m_connected = false;
    QByteArray m_input;
};

struct FloodCount
{
    std::atomic<long> requests{0};
    std::atomic<long> refused{0};
    std::atomic<long> connections{0};
};

// Sends frame after frame, each once the last is answered, and connects again whenever the server
// ends the connection.
void flood(quint16 port, const QByteArray& frame, const std::atomic<bool>& stop, FloodCount& count)
{
    const QByteArray hello = wire::encodeFrame(
        {{u"op"_s, u"hello"_s}, {u"version"_s, wire::Version}, {u"namespace"_s, u"VELDOR"_s}});
    while (!stop) {
        Socket socket(port);
        const std::optional<QJsonObject> welcome =
            socket.connected() && socket.send(hello) ? socket.reply() : std::nullopt;
        if (!welcome || !welcome->value(u"ok"_s).toBool()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        ++count.connections;
        while (!stop && socket.send(frame)) {
            const std::optional<QJsonObject> answer = socket.reply();
            if (!answer)
                break;
            ++count.requests;
            if (wire::replyError(*answer) && wire::replyError(*answer)->number == wire::error::BadRequest)
                ++count.refused;
            if (socket.ended())
                break;
        }
    }
}

struct Lookups
{
    double median = 0;
    double p99 = 0;
    double max = 0;
    double perSecond = 0;
};

Lookups lookups(const testsupport::ServerProcess& server,
                const std::function<void(objfactory::Factory&)>& lookup)
{
    objfactory::Factory f;
    QString cs = server.connectString();
    if (!f.Connect(cs)) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(f.lastError()));
        return {};
    }
    std::vector<double> ms;
    const auto start = Clock::now();
    while (Clock::now() - start < Duration) {
        const auto t0 = Clock::now();
        lookup(f);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], ms.back(),
            static_cast<double>(ms.size()) / seconds};
}

void printLookups(const char* name, const Lookups& l)
{
    std::printf("%-42s median %.2f ms, p99 %.2f ms, max %.2f ms, %.0f lookups/s\n", name, l.median, l.p99,
                l.max, l.perSecond);
}

void besideFlood(const testsupport::ServerProcess& server,
                 const std::function<void(objfactory::Factory&)>& lookup, const char* name,
                 const QByteArray& frame)
{
    std::atomic<bool> stop{false};
    FloodCount count;
    std::vector<std::thread> flooders;
    for (int i = 0; i < FloodClients; ++i)
        flooders.emplace_back([&] { flood(server.port(), frame, stop, count); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the flood under way
    const Lookups l = lookups(server, lookup);
    stop = true;
    for (auto& t : flooders)
        t.join();
    printLookups(name, l);
    std::printf("  flood: %d clients, %lld-byte requests, %ld answered (%ld refused), %ld connections\n",
                FloodClients, static_cast<long long>(frame.size()), count.requests.load(),
                count.refused.load(), count.connections.load());
}

} // namespace

void reportRequestFlood(const testsupport::ServerProcess& server,
                        const std::function<void(objfactory::Factory&)>& lookup)
{
    printLookups("stock lookups alone:", lookups(server, lookup));
    besideFlood(server, lookup, "beside 879 KB requests of 60,000 fields:", manyFieldsFrame());
    besideFlood(server, lookup, "beside 256 KB requests (largest decoded):", openFrame(256 * 1024));
    besideFlood(server, lookup, "beside 16 KB requests (decoded at once):", openFrame(16 * 1024 - 1));
}

} // namespace bench
