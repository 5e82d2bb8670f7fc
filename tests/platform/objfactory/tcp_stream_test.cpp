#include "platform/objfactory/tcp_stream.h"
#include "test_listener.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <optional>
#include <thread>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using objfactory::TcpStream;
using objtest::Listener;
using objtest::PeerSocket;
using Status = TcpStream::Status;

namespace {

objfactory::Deadline in(std::chrono::milliseconds wait)
{
    return std::chrono::steady_clock::now() + wait;
}

// Bytes no single read returns whole and whose corruption would show.
QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return bytes;
}

class TcpStreamTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(listener.isListening()) << qPrintable(listener.error());
        QString error;
        auto connected = TcpStream::connect(u"127.0.0.1"_s, listener.port(), in(5s), error);
        ASSERT_TRUE(connected) << qPrintable(error);
        stream = std::move(*connected);
        peer = listener.accept();
        ASSERT_TRUE(peer.isOpen());
    }

    // Reads until size bytes have come; stops at the first status other than Ok.
    Status receiveAll(QByteArray& into, qsizetype size, std::chrono::milliseconds wait = 10s)
    {
        const auto deadline = in(wait);
        char buffer[70000];
        while (into.size() < size) {
            std::size_t got = 0;
            const Status status = stream.receive(buffer, sizeof buffer, got, deadline);
            if (status != Status::Ok)
                return status;
            into.append(buffer, static_cast<qsizetype>(got));
        }
        return Status::Ok;
    }

    // peerGone is found without blocking, so the close may take a moment to arrive.
    bool becomesGone()
    {
        const auto until = in(5s);
        while (!stream.peerGone() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(10ms);
        return stream.peerGone();
    }

    Listener listener;
    TcpStream stream;
    PeerSocket peer;
};

} // namespace

TEST_F(TcpStreamTest, BytesGoBothWaysUnchanged)
{
    const QByteArray umlauts = u"Grüße aus Köln: ä ö ü ß Ä Ö Ü\n"_s.toUtf8();
    ASSERT_EQ(stream.sendAll(umlauts.constData(), static_cast<std::size_t>(umlauts.size()), in(5s)),
              Status::Ok);
    EXPECT_EQ(peer.receive(static_cast<std::size_t>(umlauts.size())), umlauts);

    ASSERT_TRUE(peer.sendAll(umlauts));
    QByteArray back;
    ASSERT_EQ(receiveAll(back, umlauts.size()), Status::Ok);
    EXPECT_EQ(back, umlauts);
    EXPECT_FALSE(stream.peerGone());
}

TEST_F(TcpStreamTest, LargeBuffersArriveWholeInEitherDirection)
{
    // More than the socket buffers hold, so sending has to wait for the reader.
    const QByteArray big = pattern(8 << 20);
    QByteArray atPeer;
    std::thread reader([&] { atPeer = peer.receive(static_cast<std::size_t>(big.size())); });
    const Status sent = stream.sendAll(big.constData(), static_cast<std::size_t>(big.size()), in(30s));
    reader.join();
    ASSERT_EQ(sent, Status::Ok);
    EXPECT_TRUE(atPeer == big) << "peer got " << atPeer.size() << " bytes";

    bool peerSent = false;
    std::thread writer([&] { peerSent = peer.sendAll(big); });
    QByteArray atStream;
    const Status received = receiveAll(atStream, big.size(), 30s);
    writer.join();
    ASSERT_TRUE(peerSent);
    ASSERT_EQ(received, Status::Ok);
    EXPECT_TRUE(atStream == big) << "stream got " << atStream.size() << " bytes";
}

TEST_F(TcpStreamTest, ASilentPeerGivesATimeoutAndTheStreamStaysUsable)
{
    char buffer[16];
    std::size_t got = 0;
    EXPECT_EQ(stream.receive(buffer, sizeof buffer, got, in(200ms)), Status::Timeout);
    EXPECT_EQ(stream.receive(buffer, sizeof buffer, got, in(0ms)), Status::Timeout) << "a deadline passed";
    EXPECT_TRUE(stream.isOpen());
    EXPECT_FALSE(stream.peerGone()) << "silence is not a close";

    ASSERT_TRUE(peer.sendAll("late"));
    QByteArray late;
    ASSERT_EQ(receiveAll(late, 4), Status::Ok);
    EXPECT_EQ(late, "late");
}

TEST_F(TcpStreamTest, APeerThatClosesIsSeenAsClosed)
{
    ASSERT_TRUE(peer.sendAll("bye"));
    peer.close();
    QByteArray last;
    EXPECT_EQ(receiveAll(last, 100), Status::Closed) << "the bytes before the close come first";
    EXPECT_EQ(last, "bye");
    EXPECT_TRUE(becomesGone());

    // Sending into the closed connection ends in Closed, never in a signal or a hang.
    const QByteArray chunk = pattern(64 << 10);
    Status status = Status::Ok;
    for (int i = 0; i < 1000 && status == Status::Ok; ++i)
        status = stream.sendAll(chunk.constData(), static_cast<std::size_t>(chunk.size()), in(5s));
    EXPECT_NE(status, Status::Ok);
    EXPECT_NE(status, Status::Timeout);
}

TEST_F(TcpStreamTest, PeerGoneWithoutReadingAnything)
{
    EXPECT_FALSE(stream.peerGone());
    peer.close();
    EXPECT_TRUE(becomesGone());
}

TEST_F(TcpStreamTest, MovingHandsTheConnectionOver)
{
    TcpStream moved(std::move(stream));
    EXPECT_FALSE(stream.isOpen()); // NOLINT(bugprone-use-after-move): a moved-from stream is closed
    EXPECT_TRUE(stream.peerGone());
    ASSERT_TRUE(moved.isOpen());
    ASSERT_EQ(moved.sendAll("x", 1, in(5s)), Status::Ok);
    EXPECT_EQ(peer.receive(1), "x");
    moved.close();
    EXPECT_FALSE(moved.isOpen());
    EXPECT_EQ(peer.receive(1), QByteArray()) << "close reaches the peer";
}

TEST(TcpStreamConnect, ARefusedConnectionSaysWhy)
{
    Listener listener;
    ASSERT_TRUE(listener.isListening()) << qPrintable(listener.error());
    const quint16 port = listener.port();
    listener.close();
    QString error;
    EXPECT_FALSE(TcpStream::connect(u"127.0.0.1"_s, port, in(10s), error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(TcpStreamConnect, AnUnparsableAddressSaysWhichOne)
{
    QString error;
    EXPECT_FALSE(TcpStream::connect(u"127.0.0.300"_s, 1973, in(5s), error));
    EXPECT_TRUE(error.contains(u"127.0.0.300"_s)) << qPrintable(error);
}

TEST_F(TcpStreamTest, AnInterruptFromAnotherThreadEndsAWaitEarly)
{
    // Receiving from a silent peer, then sending into a full window: both end soon after the interrupt,
    // long before their deadline, and every later wait ends at once.
    std::thread interrupter([this] {
        std::this_thread::sleep_for(150ms);
        stream.interrupt();
    });
    const auto started = std::chrono::steady_clock::now();
    char buffer[16];
    std::size_t got = 0;
    EXPECT_EQ(stream.receive(buffer, sizeof buffer, got, in(20s)), Status::Cancelled);
    interrupter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    const QByteArray big = pattern(64 << 20);
    EXPECT_EQ(stream.sendAll(big.constData(), static_cast<std::size_t>(big.size()), in(20s)),
              Status::Cancelled);
}

#ifndef _WIN32
TEST(TcpStreamConnect, AConnectWaitEndsWhenInterrupted)
{
    // A listener that never accepts, its queue filled: further connects wait for their deadline.
    const int full = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(full, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(full, 0), 0);
    socklen_t length = sizeof address;
    ::getsockname(full, reinterpret_cast<sockaddr*>(&address), &length);
    const quint16 port = ntohs(address.sin_port);
    std::vector<TcpStream> queued;
    QString error;
    for (int i = 0; i < 4; ++i) {
        if (auto s = TcpStream::connect(u"127.0.0.1"_s, port, in(300ms), error))
            queued.push_back(std::move(*s));
    }
    std::atomic<bool> interrupted{false};
    std::thread interrupter([&] {
        std::this_thread::sleep_for(150ms);
        interrupted = true;
    });
    Status why = Status::Ok;
    const auto started = std::chrono::steady_clock::now();
    const auto stream = TcpStream::connect(u"127.0.0.1"_s, port, in(20s), error, &why, &interrupted);
    interrupter.join();
    ::close(full);
    EXPECT_FALSE(stream);
    EXPECT_EQ(why, Status::Cancelled) << qPrintable(error);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}
#endif
