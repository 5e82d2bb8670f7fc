// What a client sends after its hello: frames taken off the front of the received bytes as the
// server's connection takes them, and each request handled by a session over a small data set.
// The hello itself belongs to the connection, which needs a socket, and is not reached here.

#include "fuzz_check.h"

#include "database.h"
#include "datafile.h"
#include "log.h"
#include "platform/wire/wire.h"
#include "scheduler.h"
#include "session.h"

#include <QCoreApplication>
#include <QDate>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

// The demo's shape: a user, a department, a stock record and today's figure.
constexpr char DataJson[] = R"json({
  "objects": {
    "VD.ParPersEdv": { "1||K17": { "Passwort": "geheim", "AKTIV": "J", "PNAME": "Maier", "ABTNR": "3",
                                   "DW": null } },
    "VD.ParPersAbt": { "1||3": { "abtbez": "Einkauf" } },
    "VD.ArtLagerFilInfo": { "1||123456||0": { "LAGST": "42" } }
  },
  "globals": { "^TOVI(1,3,1,1{today},123456)": "7'3'x" }
})json";

// Far below the server's defaults, so that one input runs in milliseconds.
constexpr std::size_t LocalsLimit = 256 * 1024;
constexpr std::size_t GlobalsLimit = 256 * 1024;
constexpr qsizetype ErrorTextLimit = 200;

struct Harness
{
    Harness()
    {
        QString error;
        fuzz::check(log.openFile(u"/dev/null"_s, error), "the log can be opened");
    }
    int argc = 1;
    char name[16] = "wire_request";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    veldor::Log log;
    veldor::Scheduler scheduler{
        {5'000'000, std::chrono::milliseconds(200), std::chrono::milliseconds(5), 25}};
};

Harness& harness()
{
    static Harness instance;
    return instance;
}

void checkReply(const QJsonObject& reply)
{
    fuzz::check(reply.value(u"ok"_s).isBool(), "every reply says whether it succeeded");
    if (const std::optional<wire::ErrorInfo> error = wire::replyError(reply)) {
        fuzz::check(error->number != 0, "a failed request has an error number");
        fuzz::check(error->text.size() <= ErrorTextLimit, "an error text stays within its limit");
    }
    QByteArray frame = wire::encodeFrame(reply);
    fuzz::check(!frame.isEmpty(), "a reply fits in a frame");
    QJsonObject decoded;
    fuzz::check(wire::takeFrame(frame, decoded) == wire::TakeResult::Frame && decoded == reply &&
                    frame.isEmpty(),
                "a reply reads back as it was sent");
}

// A request the client could have sent this way reads the same after another trip over the wire.
void checkRoundTrip(const QJsonObject& request)
{
    QByteArray frame = wire::encodeFrame(request);
    if (frame.isEmpty())
        return; // written out longer than a frame, which the client's encoder refuses as well
    QJsonObject decoded;
    fuzz::check(wire::takeFrame(frame, decoded) == wire::TakeResult::Frame, "an encoded request decodes");
    fuzz::check(decoded == request, "a request reads back as it was encoded");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Harness& s = harness();
    veldor::Database db;
    db.globals().setLimit(GlobalsLimit);
    QString error;
    fuzz::check(veldor::loadData(QByteArray(DataJson), QDate(2026, 12, 8), db, error), "the data set loads");

    std::optional<QJsonObject> lateReply;
    veldor::Session session(1, db, s.log, s.scheduler, {LocalsLimit, ErrorTextLimit},
                            [&](const QJsonObject& reply) { lateReply = reply; });

    QByteArray received(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (;;) {
        const qsizetype before = received.size();
        QJsonObject request;
        const wire::TakeResult taken = wire::takeFrame(received, request);
        if (taken == wire::TakeResult::Incomplete || taken == wire::TakeResult::Oversized) {
            fuzz::check(received.size() == before, "what is not taken stays in the buffer");
            break; // more bytes would be needed, or the connection is dropped
        }
        fuzz::check(received.size() < before, "a frame taken leaves the buffer");
        if (taken == wire::TakeResult::Malformed)
            continue; // answered with an error by the connection; the session goes on
        checkRoundTrip(request);
        std::optional<QJsonObject> reply = session.handle(request);
        if (!reply) {
            fuzz::check(session.busy(), "a request without a reply yet runs on");
            // Bounded by the scheduler's time limit.
            while (!lateReply)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            reply = std::exchange(lateReply, std::nullopt);
        }
        fuzz::check(!session.busy(), "a session is free again after its reply");
        checkReply(*reply);
    }
    s.log.flush();
    return 0;
}
