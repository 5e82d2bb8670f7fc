// Latency of one stock-lookup sequence against veldor-server on loopback (in place, and on the worker
// thread as the program runs it), beside the floor of the
// same number of bare request/reply round trips over a loopback TCP socket; then server throughput
// with 1, 8 and 32 concurrent clients; then 32 clients again beside one client that sends the worst
// command lines known (long $PIECE searches) back to back, against the same 32 without it; last one
// client's lookups beside clients flooding the server with large requests (request_flood.cpp).
// "bench_objfactory flood" runs only the last.
#include "platform/forms/blocking_wait.h"
#include "platform/objfactory/factory.h"
#include "request_flood.h"
#include "server_process.h"

#include <QCoreApplication>
#include <QDate>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int RoundTripsPerSequence = 6;

struct Stats
{
    double median;
    double p99;
};

Stats stats(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 99 / 100)]};
}

// The same sequence the stock lookup runs.
void stockLookup(objfactory::Factory& f, const QString& line)
{
    objfactory::ServerObject stock = f.OpenId(u"VD.ArtLagerFilInfo"_s, u"1||123456||0"_s);
    (void)stock.property(u"LAGST"_s);
    stock.SYS_Close();
    objfactory::ServerObject windows = f.ClassObject(u"VD.Windows"_s);
    (void)windows.call(u"Xecute"_s, line);
    windows.SYS_Close();
}

// A blocking echo peer: the floor is what the kernel's loopback costs for one small request and reply.
class EchoPeer
{
public:
    EchoPeer()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 1);
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] {
            const int c = ::accept(m_listen, nullptr, nullptr);
            const int one = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            char buf[512];
            ssize_t n;
            while ((n = ::recv(c, buf, sizeof buf, 0)) > 0)
                ::send(c, buf, static_cast<size_t>(n), 0);
            ::close(c);
        });
    }
    ~EchoPeer()
    {
        m_thread.join();
        ::close(m_listen);
    }
    quint16 port() const { return m_port; }

private:
    int m_listen;
    quint16 m_port;
    std::thread m_thread;
};

std::vector<double> floorSamples(int iterations)
{
    EchoPeer peer;
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(peer.port());
    ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    const int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // About the size of a typical request frame.
    char message[96] = {};
    std::vector<double> samples;
    for (int i = 0; i < iterations; ++i) {
        const auto t0 = Clock::now();
        for (int r = 0; r < RoundTripsPerSequence; ++r) {
            ::send(s, message, sizeof message, 0);
            size_t got = 0;
            while (got < sizeof message)
                got += static_cast<size_t>(::recv(s, message, sizeof message - got, 0));
        }
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    ::close(s);
    return samples;
}

struct Throughput
{
    double perSecond = 0;
    Stats sequenceUs{0, 0}; // how long one sequence took
    double maxUs = 0;
    long heavyLines = 0; // worst-case lines answered meanwhile
};

// X of 30,720 characters searched 2,990 times for a delimiter of 15,361 that almost matches
// everywhere: quadratic for a plain search, a few hundred milliseconds of work for a linear one.
QString worstCaseLine()
{
    QString line = u"S X=\"aaaaaaaaaaaaaaa\""_s + u",X=X_X"_s.repeated(11) + u",Y=\"aaaaaaaaaaaaaaa\""_s +
                   u",Y=Y_Y"_s.repeated(10) + u",D=Y_\"b\""_s;
    return line + u",Z=$P(X,D)"_s.repeated(2990);
}

Throughput throughput(const testsupport::ServerProcess& server, int clients, const QString& line,
                      std::chrono::seconds duration, bool withHeavyClient = false)
{
    std::atomic<long> sequences{0};
    std::atomic<long> heavyLines{0};
    std::atomic<bool> stop{false};
    std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            objfactory::Factory f;
            QString cs = server.connectString();
            if (!f.Connect(cs))
                return;
            while (!stop) {
                const auto t0 = Clock::now();
                stockLookup(f, line);
                latencies[static_cast<std::size_t>(c)].push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
                ++sequences;
            }
        });
    }
    if (withHeavyClient) {
        threads.emplace_back([&] {
            objfactory::Factory f;
            QString cs = server.connectString();
            if (!f.Connect(cs))
                return;
            objfactory::ServerObject windows = f.ClassObject(u"VD.Windows"_s);
            const QString heavy = worstCaseLine();
            while (!stop) {
                try {
                    (void)windows.call(u"Xecute"_s, heavy);
                } catch (const objfactory::Error&) { // over its budget: it sends the next one all the same
                }
                ++heavyLines;
            }
        });
    }
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(duration);
    stop = true;
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    for (auto& t : threads)
        t.join();
    Throughput result;
    result.perSecond = static_cast<double>(sequences) / seconds;
    std::vector<double> all;
    for (const auto& l : latencies)
        all.insert(all.end(), l.begin(), l.end());
    if (!all.empty()) {
        result.sequenceUs = stats(all);
        result.maxUs = *std::max_element(all.begin(), all.end());
    }
    result.heavyLines = heavyLines;
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool floodOnly = argc > 1 && std::strcmp(argv[1], "flood") == 0;
    const int iterations = argc > 1 && !floodOnly ? std::atoi(argv[1]) : 5000;
    testsupport::ServerProcess server;
    if (!server.start(testsupport::ServerProcess::standardData(), 64)) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    const QString line =
        u"S P0=$P(^TOVI(1,3,1,1%1,123456),\"'\",1)"_s.arg(QDate::currentDate().toString(u"yyMMdd"_s));
    const auto requestFlood = [&] {
        bench::reportRequestFlood(server, [&line](objfactory::Factory& f) { stockLookup(f, line); });
    };
    if (floodOnly) {
        requestFlood();
        return 0;
    }

    // In place, and as the program runs it: each round trip on the worker thread while the calling
    // thread waits in its event loop.
    const auto lookupSamples = [&](objfactory::StepRunner runner) {
        objfactory::Factory f(objfactory::Timeouts{}, std::move(runner));
        QString cs = server.connectString();
        std::vector<double> samples;
        if (!f.Connect(cs))
            return samples;
        for (int i = 0; i < 500; ++i) // warm-up
            stockLookup(f, line);
        for (int i = 0; i < iterations; ++i) {
            const auto t0 = Clock::now();
            stockLookup(f, line);
            samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        f.Disconnect();
        return samples;
    };
    const std::vector<double> inPlace = lookupSamples({});
    const std::vector<double> awaited = lookupSamples(forms::awaitStep);
    if (inPlace.empty() || awaited.empty())
        return 1;
    floorSamples(500);
    const Stats bare = stats(floorSamples(iterations));
    std::printf("floor, %d bare loopback round trips:           median %.1f us, p99 %.1f us\n",
                RoundTripsPerSequence, bare.median, bare.p99);
    for (const auto& [name, samples] :
         {std::pair{"in place", &inPlace}, std::pair{"on the worker, window thread waiting", &awaited}}) {
        const Stats lookup = stats(*samples);
        std::printf("stock-lookup sequence (%d round trips), %s, %d runs: median %.1f us, p99 %.1f us\n",
                    RoundTripsPerSequence, name, iterations, lookup.median, lookup.p99);
        std::printf("  ratio to floor: median %.2fx, p99 %.2fx\n", lookup.median / bare.median,
                    lookup.p99 / bare.p99);
    }

    for (const int clients : {1, 8, 32})
        std::printf("throughput, %2d concurrent clients: %.0f sequences/s\n", clients,
                    throughput(server, clients, line, std::chrono::seconds(3)).perSecond);

    const Throughput alone = throughput(server, 32, line, std::chrono::seconds(5));
    const Throughput abused = throughput(server, 32, line, std::chrono::seconds(5), true);
    for (const auto& [name, t] : {std::pair{"32 clients alone:                ", alone},
                                  std::pair{"32 clients beside a worst client:", abused}})
        std::printf("%s %.0f sequences/s, sequence median %.0f us, p99 %.0f us, max %.0f us\n", name,
                    t.perSecond, t.sequenceUs.median, t.sequenceUs.p99, t.maxUs);
    std::printf("worst-case lines answered meanwhile: %ld; throughput kept: %.0f%%\n", abused.heavyLines,
                100.0 * abused.perSecond / alone.perSecond);
    requestFlood();
    return 0;
}
