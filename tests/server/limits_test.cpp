// The server under abuse, as a client sees it: a real process with limits set by its options.
#include "platform/objfactory/factory.h"
#include "platform/wire/wire.h"
#include "raw_client.h"
#include "server_process.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtEndian>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace Qt::Literals::StringLiterals;

using testsupport::errorNumber;
using testsupport::errorText;
using testsupport::RawClient;
using testsupport::ServerProcess;

namespace {

constexpr std::int32_t MBudget = wire::error::MBase + 12;
constexpr std::int32_t MStore = wire::error::MBase + 13;

// X of 30,720 characters searched 2,990 times for a delimiter of 15,361 that almost matches
// everywhere: a plain search would compare about 15,360 characters at each of 15,360 places.
QString worstPieceLine()
{
    QString line = u"S X=\"aaaaaaaaaaaaaaa\""_s + u",X=X_X"_s.repeated(11) + u",Y=\"aaaaaaaaaaaaaaa\""_s +
                   u",Y=Y_Y"_s.repeated(10) + u",D=Y_\"b\""_s;
    return line + u",Z=$P(X,D)"_s.repeated(2990);
}

// A holds 15 * 2^doublings characters.
QString longA(int doublings)
{
    return u"S A=\"xxxxxxxxxxxxxxx\""_s + u",A=A_A"_s.repeated(doublings);
}

QString today()
{
    return QDate::currentDate().toString(u"yyMMdd"_s);
}

// Where a text first occurs in the log, or a large number when it does not.
qsizetype place(const QString& log, const QString& text)
{
    const qsizetype at = log.indexOf(text);
    return at < 0 ? std::numeric_limits<qsizetype>::max() : at;
}

bool everyLineIsOneEntry(const QStringList& lines, qsizetype maxBytes)
{
    for (const QString& line : lines) {
        if (!QDateTime::fromString(line.section(u' ', 0, 0), Qt::ISODateWithMs).isValid())
            return false;
        if (line.toUtf8().size() > maxBytes)
            return false;
    }
    return true;
}

} // namespace

TEST(FairnessTest, OtherClientsAreAnsweredWhileALongLineRuns)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData(), {u"--max-request-ms"_s, u"600000"_s,
                                                             u"--max-request-work"_s, u"1000000000000"_s}))
        << qPrintable(server.error());
    RawClient heavy(server.port());
    RawClient light(server.port());
    const int h = heavy.commandObject();
    const int l = light.commandObject();
    ASSERT_GE(h, 0);
    ASSERT_GE(l, 0);

    heavy.sendXecute(h, worstPieceLine());
    ASSERT_TRUE(server.waitForLog(u"session 1 xecute S X="_s));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(light.xecute(l, u"S P0=%1*2"_s.arg(i))[u"value"_s].toString(), QString::number(i * 2));
        EXPECT_FALSE(heavy.replied()) << "the long line ended before request " << i << " was answered";
    }
    const QJsonObject done = heavy.reply(120000);
    EXPECT_TRUE(done[u"ok"_s].toBool()) << qPrintable(errorText(done));
    EXPECT_EQ(done[u"value"_s].toString(), QString());

    const QString log = server.log();
    EXPECT_LT(place(log, u"session 1 xecute S X="_s), place(log, u"session 2 xecute S P0=0*2"_s));
    EXPECT_LT(place(log, u"session 2 xecute ok P0=8"_s), place(log, u"session 1 xecute ok"_s))
        << "the last short line ended before the long one";
}

TEST(FairnessTest, ALineOverItsBudgetFailsWithAnMError)
{
    ServerProcess byWork;
    ASSERT_TRUE(byWork.start(ServerProcess::standardData(), {u"--max-request-work"_s, u"5000000"_s}));
    RawClient client(byWork.port());
    const int h = client.commandObject();
    const QJsonObject refused = client.xecute(h, worstPieceLine());
    EXPECT_EQ(errorNumber(refused), MBudget);
    EXPECT_TRUE(errorText(refused).startsWith(u"<BUDGET> more than 5000000 units of work at column "_s))
        << qPrintable(errorText(refused));
    EXPECT_EQ(client.xecute(h, u"S P0=6*7"_s)[u"value"_s].toString(), u"42"_s) << "the session goes on";

    ServerProcess byTime;
    ASSERT_TRUE(byTime.start(ServerProcess::standardData(), {u"--max-request-ms"_s, u"1"_s}));
    RawClient timed(byTime.port());
    const QJsonObject late = timed.xecute(timed.commandObject(), worstPieceLine());
    EXPECT_EQ(errorNumber(late), MBudget);
    EXPECT_TRUE(errorText(late).startsWith(u"<BUDGET> more than 1 ms of work"_s))
        << qPrintable(errorText(late));
}

TEST(BoundedOutputTest, ErrorsAboutHugeReferencesStaySmall)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData()));
    RawClient client(server.port());
    const int h = client.commandObject();

    // 2 KB of request naming 1,000 subscripts of 30 KB each.
    const QJsonObject tooLong =
        client.xecute(h, longA(11) + u" S P0=^U("_s + QStringList(1000, u"A"_s).join(u',') + u")"_s);
    EXPECT_EQ(errorNumber(tooLong), wire::error::MBase + 5);
    EXPECT_TRUE(errorText(tooLong).contains(u"key longer than 32767 bytes"_s));
    EXPECT_LT(QJsonDocument(tooLong).toJson().size(), 1024);

    const QJsonObject undefined = client.xecute(h, longA(10) + u" S P0=^U(A)"_s);
    EXPECT_EQ(errorNumber(undefined), wire::error::MBase + 4);
    EXPECT_TRUE(errorText(undefined).startsWith(u"<UNDEFINED> ^U(\"xxxxx"_s));
    EXPECT_TRUE(errorText(undefined).contains(u"... at column 88"_s)) << qPrintable(errorText(undefined));
    EXPECT_LT(errorText(undefined).size(), 300);

    server.stop();
    EXPECT_TRUE(everyLineIsOneEntry(server.logLines(), 4096));
    EXPECT_LT(server.log().size(), 32 * 1024);
}

TEST(BoundedOutputTest, AReplyTooLargeForAFrameBecomesAnError)
{
    const QByteArray big(wire::MaxFrameBytes + 1000, 'x');
    ServerProcess server;
    ASSERT_TRUE(server.start(R"({"objects": {"VD.Big": {"1": {"TEXT": ")" + big + R"(", "SMALL": "s"}}}})"));
    RawClient client(server.port());
    ASSERT_TRUE(client.hello()[u"ok"_s].toBool());
    client.send({{u"op"_s, u"open"_s}, {u"class"_s, u"VD.Big"_s}, {u"id"_s, u"1"_s}});
    const int handle = client.reply()[u"handle"_s].toInt();
    client.send({{u"op"_s, u"get"_s}, {u"handle"_s, handle}, {u"name"_s, u"TEXT"_s}});
    const QJsonObject tooLarge = client.reply();
    EXPECT_EQ(errorNumber(tooLarge), wire::error::ReplyTooLarge);
    EXPECT_TRUE(errorText(tooLarge).contains(QString::number(wire::MaxFrameBytes)));
    client.send({{u"op"_s, u"get"_s}, {u"handle"_s, handle}, {u"name"_s, u"SMALL"_s}});
    EXPECT_EQ(client.reply()[u"value"_s].toString(), u"s"_s) << "the session goes on";
    EXPECT_TRUE(server.waitForLog(u"session 1 reply larger than"_s));
}

TEST(MemoryLimitTest, GlobalsStopGrowingAtTheirLimit)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData(), {u"--max-globals"_s, u"256K"_s}));
    RawClient writer(server.port());
    RawClient other(server.port());
    const int w = writer.commandObject();
    const int o = other.commandObject();

    QString fill = longA(10); // 15,360 characters
    for (int i = 1; i <= 40; ++i)
        fill += u",^G(%1)=A"_s.arg(i);
    const QJsonObject full = writer.xecute(w, fill);
    EXPECT_EQ(errorNumber(full), MStore);
    EXPECT_TRUE(errorText(full).startsWith(u"<STORE> globals limit of 262144 bytes reached at column "_s))
        << qPrintable(errorText(full));
    EXPECT_EQ(writer.xecute(w, u"S P0=$D(^G(1))_$D(^G(40))"_s)[u"value"_s].toString(), u"10"_s)
        << "what fitted stays";

    EXPECT_EQ(errorNumber(other.xecute(o, longA(10) + u",^H(1)=A"_s)), MStore) << "the limit is shared";
    EXPECT_EQ(
        other.xecute(o, u"S P0=$P(^TOVI(1,3,1,1%1,123456),\"'\",1)"_s.arg(today()))[u"value"_s].toString(),
        u"7"_s);
    EXPECT_EQ(other.xecute(o, u"S L(1)=1,P0=L(1)"_s)[u"value"_s].toString(), u"1"_s) << "locals count apart";

    EXPECT_TRUE(writer.xecute(w, u"K ^G"_s)[u"ok"_s].toBool());
    EXPECT_TRUE(other.xecute(o, longA(10) + u",^H(1)=A,P0=$D(^H(1))"_s)[u"ok"_s].toBool())
        << "killing gives the memory back";
}

TEST(MemoryLimitTest, EachSessionsLocalsHaveTheirLimit)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData(), {u"--max-locals"_s, u"64K"_s}));
    RawClient client(server.port());
    const int h = client.commandObject();
    const QJsonObject full = client.xecute(h, longA(10) + u",B(1)=A,B(2)=A,B(3)=A,B(4)=A,B(5)=A"_s);
    EXPECT_EQ(errorNumber(full), MStore);
    EXPECT_TRUE(errorText(full).startsWith(u"<STORE> local variables limit of 65536 bytes reached"_s));
    EXPECT_TRUE(client.xecute(h, u"K B S P0=1"_s)[u"ok"_s].toBool());
}

TEST(MemoryLimitTest, TheDataFilesObjectsShareTheLimitOfTheGlobals)
{
    // About 64 KB of objects in memory.
    QByteArray objects =
        R"({"objects": {"VD.ArtLagerFilInfo": {"1||123456||0": {"LAGST": "42"}}, "VD.Big": {)";
    for (int i = 0; i < 8; ++i)
        objects += "\"" + QByteArray::number(i) + "\": {\"TEXT\": \"" + QByteArray(4000, 'v') + "\"},";
    objects.chop(1);
    objects += "}}}";

    QTemporaryDir dir;
    QFile file(dir.filePath(u"data.json"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(objects);
    file.close();
    const testsupport::Finished refused = testsupport::runServer(
        {u"--data"_s, file.fileName(), u"--port"_s, u"0"_s, u"--max-globals"_s, u"48K"_s});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(
        refused.standardError.contains(u"the objects do not fit in the memory limit of the globals"_s))
        << qPrintable(refused.standardError);

    // The rest is what the globals may take.
    ServerProcess server;
    ASSERT_TRUE(server.start(objects, {u"--max-globals"_s, u"160K"_s})) << qPrintable(server.error());
    RawClient client(server.port());
    const int h = client.commandObject();
    const QString fourTimes30K = longA(11) + u",^G(1)=A,^G(2)=A,^G(3)=A,^G(4)=A"_s;
    EXPECT_EQ(errorNumber(client.xecute(h, fourTimes30K)), MStore) << "120 KB of globals besides the objects";
    EXPECT_TRUE(client.xecute(h, longA(11) + u",^G(1)=A,P0=$D(^G(1))"_s)[u"ok"_s].toBool());

    ServerProcess without;
    ASSERT_TRUE(without.start(ServerProcess::standardData(), {u"--max-globals"_s, u"160K"_s}));
    RawClient other(without.port());
    const int o = other.commandObject();
    EXPECT_TRUE(other.xecute(o, fourTimes30K)[u"ok"_s].toBool()) << "without the objects";
}

TEST(ConnectionLimitTest, ConnectionsBeyondTheCapAreRefusedAndLoggedOnce)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData(),
                             {u"--licences"_s, u"1"_s, u"--max-connections"_s, u"3"_s}));
    std::vector<std::unique_ptr<RawClient>> silent;
    for (int i = 0; i < 3; ++i)
        silent.push_back(std::make_unique<RawClient>(server.port()));
    for (int i = 0; i < 12; ++i) {
        RawClient extra(server.port());
        const QJsonObject refusal = extra.reply();
        EXPECT_EQ(errorNumber(refusal), wire::error::TooManyConnections) << i;
        EXPECT_TRUE(extra.closedByServer());
    }
    ASSERT_TRUE(server.waitForLog(u"connection limit of 3 reached"_s));
    EXPECT_EQ(server.logCount(u"connection limit of 3 reached"_s), 1);

    silent.front().reset();
    bool served = false;
    for (int attempt = 0; attempt < 50 && !served; ++attempt) {
        RawClient again(server.port());
        served = again.hello()[u"ok"_s].toBool();
        if (!served)
            QThread::msleep(100);
    }
    EXPECT_TRUE(served) << "a closed connection makes room";
    server.stop();
    EXPECT_TRUE(server.log().contains(u"connection limit: "_s)) << qPrintable(server.log());
    EXPECT_EQ(server.logCount(u"refused: "_s), 0) << "no line per refused connection";
}

TEST(ConnectionLimitTest, OneAddressCannotTakeEverySlotBeforeItsHello)
{
    ServerProcess server;
    ASSERT_TRUE(
        server.start(ServerProcess::standardData(), {u"--licences"_s, u"10"_s, u"--max-connections"_s,
                                                     u"20"_s, u"--max-pending-per-address"_s, u"4"_s}));
    const QHostAddress flooder(u"127.0.0.1"_s);
    std::vector<std::unique_ptr<RawClient>> silent;
    for (int i = 0; i < 4; ++i)
        silent.push_back(std::make_unique<RawClient>(server.port(), flooder));
    for (int i = 0; i < 10; ++i) {
        RawClient extra(server.port(), flooder);
        const QJsonObject refusal = extra.reply();
        EXPECT_EQ(errorNumber(refusal), wire::error::TooManyConnections) << i;
        EXPECT_TRUE(errorText(refusal).contains(u"from your address"_s)) << qPrintable(errorText(refusal));
        EXPECT_TRUE(extra.closedByServer());
    }
    for (int i = 0; i < 6; ++i) {
        RawClient other(server.port(), QHostAddress(u"127.0.0.2"_s));
        EXPECT_TRUE(other.hello()[u"ok"_s].toBool()) << "another address is served while one floods, " << i;
    }
    EXPECT_TRUE(server.waitForLog(u"127.0.0.1 refused: 4 connections from it before their hello"_s));

    // A hello makes room for the next connection from the same address.
    EXPECT_TRUE(silent.front()->hello()[u"ok"_s].toBool());
    RawClient next(server.port(), flooder);
    EXPECT_TRUE(next.hello()[u"ok"_s].toBool());
}

TEST(ConnectionLimitTest, TooMuchBeforeHelloIsRefused)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData(), {u"--max-hello-bytes"_s, u"256"_s}));
    QByteArray announced(4, 0);
    qToBigEndian<quint32>(100000, announced.data());
    RawClient bigFrame(server.port());
    bigFrame.sendBytes(announced + QByteArray(100, '{'));
    const QJsonObject refusal = bigFrame.reply();
    EXPECT_EQ(errorNumber(refusal), wire::error::BadRequest);
    EXPECT_EQ(errorText(refusal), u"more than 256 bytes before hello"_s);
    EXPECT_TRUE(bigFrame.closedByServer());

    RawClient garbage(server.port());
    garbage.sendBytes(QByteArray(1000, 'x'));
    EXPECT_EQ(errorNumber(garbage.reply()), wire::error::BadRequest);
    EXPECT_TRUE(garbage.closedByServer());

    RawClient fine(server.port());
    EXPECT_TRUE(fine.hello()[u"ok"_s].toBool());
}

TEST(ConnectionLimitTest, ASilentSessionGivesItsLicenceBack)
{
    ServerProcess server;
    ASSERT_TRUE(
        server.start(ServerProcess::standardData(), {u"--licences"_s, u"1"_s, u"--idle-timeout"_s, u"1"_s}));
    RawClient silent(server.port());
    ASSERT_TRUE(silent.hello()[u"ok"_s].toBool());
    RawClient waiting(server.port());
    EXPECT_EQ(errorNumber(waiting.hello()), wire::error::NoLicence);

    ASSERT_TRUE(server.waitForLog(u"session 1 dropped: idle for 1 s"_s));
    EXPECT_TRUE(server.log().contains(u"session 1 closed (licences in use 0 of 1)"_s));
    EXPECT_TRUE(silent.closedByServer());
    RawClient next(server.port());
    EXPECT_TRUE(next.hello()[u"ok"_s].toBool());
}

TEST(ConnectionLimitTest, OutOfDescriptorsAcceptingPausesWithoutSpinning)
{
    ServerProcess server;
    server.setChildSetup([] {
        const rlimit few = {24, 24};
        ::setrlimit(RLIMIT_NOFILE, &few);
    });
    ASSERT_TRUE(server.start(ServerProcess::standardData(),
                             {u"--max-connections"_s, u"1000"_s, u"--max-pending-per-address"_s, u"1000"_s}))
        << qPrintable(server.error());
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 40; ++i)
        clients.push_back(std::make_unique<RawClient>(server.port()));
    ASSERT_TRUE(server.waitForLog(u"cannot accept connections: "_s));

    const auto cpuTicks = [&server] {
        QFile stat(u"/proc/%1/stat"_s.arg(server.pid()));
        if (!stat.open(QIODevice::ReadOnly))
            return -1LL;
        const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
        return fields.value(11).toLongLong() + fields.value(12).toLongLong(); // utime, stime
    };
    const long long before = cpuTicks();
    QThread::msleep(1000);
    const long long used = cpuTicks() - before;
    EXPECT_LT(used, ::sysconf(_SC_CLK_TCK) / 2) << "a paused server does not spin";
    EXPECT_EQ(server.logCount(u"cannot accept connections: "_s), 1);

    clients.clear();
    bool served = false;
    for (int attempt = 0; attempt < 50 && !served; ++attempt) {
        objfactory::Factory f;
        QString cs = server.connectString();
        served = f.Connect(cs) &&
                 f.OpenId(u"VD.ArtLagerFilInfo"_s, u"1||123456||0"_s).property(u"LAGST"_s) == u"42"_s;
        if (!served)
            QThread::msleep(100);
    }
    EXPECT_TRUE(served);
    EXPECT_TRUE(server.waitForLog(u"accepting connections again"_s));
}

namespace {

// The kernel's timer on the server's end of a connection: "02" while keepalive probes are due.
QString serverSideTimer(quint16 serverPort, quint16 clientPort)
{
    QFile table(u"/proc/net/tcp"_s);
    if (!table.open(QIODevice::ReadOnly))
        return {};
    const QString local = u":%1"_s.arg(serverPort, 4, 16, QChar(u'0')).toUpper();
    const QString remote = u":%1"_s.arg(clientPort, 4, 16, QChar(u'0')).toUpper();
    for (const QByteArray& row : table.readAll().split('\n')) {
        const QStringList fields = QString::fromLatin1(row).simplified().split(u' ');
        if (fields.size() > 5 && fields[1].endsWith(local) && fields[2].endsWith(remote) &&
            fields[3] == u"01"_s)
            return fields[5].section(u':', 0, 0);
    }
    return {};
}

} // namespace

TEST(ConnectionLimitTest, ConnectionsAreKeptAliveUnlessTurnedOff)
{
    for (const bool on : {true, false}) {
        ServerProcess server;
        ASSERT_TRUE(server.start(ServerProcess::standardData(), {u"--keepalive"_s, on ? u"45"_s : u"0"_s}));
        RawClient client(server.port());
        ASSERT_TRUE(client.hello()[u"ok"_s].toBool());
        EXPECT_EQ(serverSideTimer(server.port(), client.socket.localPort()), on ? u"02"_s : u"00"_s);
    }
}

TEST(LogTest, ClientTextCannotForgeOrBreakLogLines)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData()));
    const QString forged =
        u"X\r\n2030-01-01T00:00:00.000 session 99 opened from 10.6.6.6\x1b[2J\u2028\u202e\\x0a"_s;
    RawClient intruder(server.port());
    intruder.send({{u"op"_s, u"hello"_s}, {u"version"_s, wire::Version}, {u"namespace"_s, forged}});
    EXPECT_EQ(errorNumber(intruder.reply()), wire::error::BadNamespace);

    RawClient client(server.port());
    const int h = client.commandObject();
    EXPECT_EQ(errorNumber(client.xecute(h, u"S P0=\""_s + forged + u"\""_s)), wire::error::MBase + 1);
    client.send({{u"op"_s, u"get"_s}, {u"handle"_s, h}, {u"name"_s, forged}});
    EXPECT_EQ(errorNumber(client.reply()), wire::error::NoSuchProperty);
    server.stop();

    const QStringList lines = server.logLines();
    EXPECT_TRUE(everyLineIsOneEntry(lines, 4096));
    for (const QString& line : lines)
        EXPECT_FALSE(line.startsWith(u"2030-01-01"_s)) << qPrintable(line);
    const QStringList refused = lines.filter(u"refused: namespace"_s);
    ASSERT_EQ(refused.size(), 1);
    const QString shown =
        uR"(X\x0d\x0a2030-01-01T00:00:00.000 session 99 opened from 10.6.6.6\x1b[2J\u{2028}\u{202e}\\x0a)"_s;
    EXPECT_TRUE(refused.front().contains(shown)) << qPrintable(refused.front());
    EXPECT_EQ(lines.filter(shown).size(), 3) << "the refusal, the command line, the property error";
}

TEST(DataFileTest, BadDataFilesAreRefusedClearly)
{
    const auto run = [](const QStringList& args) {
        return testsupport::runServer(args + QStringList{u"--port"_s, u"0"_s});
    };
    const testsupport::Finished endless = run({u"--data"_s, u"/dev/zero"_s});
    EXPECT_EQ(endless.exitCode, 2);
    EXPECT_TRUE(
        endless.standardError.contains(u"/dev/zero: larger than 67108864 bytes (see --max-data-bytes)"_s))
        << qPrintable(endless.standardError);

    QTemporaryDir dir;
    const auto file = [&dir](const QString& name, const QByteArray& text) {
        QFile f(dir.filePath(name));
        (void)f.open(QIODevice::WriteOnly);
        f.write(text);
        return f.fileName();
    };
    const QString bigger = file(u"big.json"_s, "{\"globals\": {}}" + QByteArray(2000, ' '));
    const testsupport::Finished tooBig = run({u"--data"_s, bigger, u"--max-data-bytes"_s, u"1K"_s});
    EXPECT_EQ(tooBig.exitCode, 2);
    EXPECT_TRUE(tooBig.standardError.contains(u"larger than 1024 bytes"_s));

    const QString twice =
        file(u"twice.json"_s, "{\"globals\": {\"^A(1)\": \"1\"},\n \"globals\": {\"^B(1)\": \"2\"}}");
    const testsupport::Finished duplicate = run({u"--data"_s, twice});
    EXPECT_EQ(duplicate.exitCode, 2);
    EXPECT_TRUE(duplicate.standardError.contains(u"field globals: defined twice (again on line 2)"_s))
        << qPrintable(duplicate.standardError);

    const QString nul = file(u"nul.json"_s, R"({"objects": {"VD\u0000X\u001b[2J": 7}})");
    const testsupport::Finished named = run({u"--data"_s, nul});
    EXPECT_EQ(named.exitCode, 2);
    EXPECT_TRUE(named.standardError.contains(
        uR"(field objects."VD\x00X\x1b[2J": expected an object, found a number)"_s))
        << qPrintable(named.standardError);
}

TEST(OptionsTest, LimitsAreOptionsWithHelp)
{
    const testsupport::Finished help = testsupport::runServer({u"--help"_s});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--max-connections", "--max-pending-per-address", "--max-hello-bytes", "--max-request-bytes",
          "--max-request-fields", "--hello-timeout", "--idle-timeout", "--keepalive", "--max-request-work",
          "--max-request-ms", "--slice-ms", "--heavy-share", "--max-globals", "--max-locals",
          "--max-log-line", "--max-error-text", "--max-data-bytes", "--accept-pause-ms"})
        EXPECT_TRUE(help.standardOutput.contains(QLatin1String(option))) << option;

    // --version answers alone, without a data file.
    const testsupport::Finished version = testsupport::runServer({u"--version"_s});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.standardOutput, u"veldor-server " PLENVARO_VERSION "\n"_s);

    const testsupport::Finished badSize =
        testsupport::runServer({u"--data"_s, u"x.json"_s, u"--max-globals"_s, u"12X"_s});
    EXPECT_EQ(badSize.exitCode, 2);
    EXPECT_TRUE(badSize.standardError.contains(u"--max-globals: not a size"_s))
        << qPrintable(badSize.standardError);
    const testsupport::Finished fewer = testsupport::runServer(
        {u"--data"_s, u"x.json"_s, u"--licences"_s, u"10"_s, u"--max-connections"_s, u"5"_s});
    EXPECT_EQ(fewer.exitCode, 2);
    EXPECT_TRUE(fewer.standardError.contains(u"less than --licences"_s));
}

TEST(FiberTest, DeeplyNestedLinesRunOnTheServer)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData()));
    RawClient client(server.port());
    const int h = client.commandObject();
    QString pieces = u"\"a,b\""_s;
    for (int i = 0; i < 63; ++i)
        pieces = u"$P("_s + pieces + u",\";\")"_s;
    EXPECT_EQ(client.xecute(h, u"S P0="_s + pieces)[u"value"_s].toString(), u"a,b"_s);
    QString gets = u"1"_s;
    for (int i = 0; i < 31; ++i)
        gets = u"$G(X("_s + gets + u"),1)"_s;
    EXPECT_TRUE(client.xecute(h, u"S P0="_s + gets)[u"ok"_s].toBool());
    const QString parens = QString(64, u'(') + u"7"_s + QString(64, u')');
    EXPECT_EQ(client.xecute(h, u"S P0="_s + parens)[u"value"_s].toString(), u"7"_s);
    EXPECT_EQ(errorNumber(client.xecute(h, u"S P0=("_s + parens + u")"_s)), wire::error::MBase + 10);
}
