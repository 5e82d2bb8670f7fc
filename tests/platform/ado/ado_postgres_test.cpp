// The same recordset against PostgreSQL through psqlODBC: a throw-away server on 127.0.0.1, started here, and
// the data source "tovi_net" pointing at it with stored credentials and a different default database.

#include "platform/ado/ado_connection.h"
#include "platform/ado/ado_error.h"
#include "platform/ado/ado_recordset.h"
#include "platform/ado/ado_recordset_model.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr char16_t kProgramConnection[] = u"PROVIDER=MSDASQL;dsn=tovi_net;uid=;pwd=;database=tovi;";

std::string s(const QString& text)
{
    return text.toStdString();
}

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

QString newestServerBin()
{
    const QDir root(u"/usr/lib/postgresql"_s);
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toDouble() > b.toDouble(); });
    for (const QString& version : versions) {
        const QString bin = root.filePath(version + u"/bin"_s);
        if (QFile::exists(bin + u"/initdb"_s))
            return bin;
    }
    return {};
}

// Runs a program, as `runAs` (a command prefix) when given; returns its output, or why it failed.
bool run(const QStringList& runAs, const QString& program, const QStringList& arguments, QString& output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList all = runAs;
    all << program << arguments;
    process.start(all.takeFirst(), all);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

class PostgresServer final
{
public:
    // `why` says what is missing to run a server here (the test is skipped); `failure` what went wrong
    // although everything is installed (the test fails). Both empty when the server runs.
    PostgresServer(QString& why, QString& failure)
    {
        bin_ = newestServerBin();
        if (bin_.isEmpty()) {
            why = u"PostgreSQL server not installed (no /usr/lib/postgresql/*/bin/initdb)"_s;
            return;
        }
        if (!QFile::exists(QStringLiteral(PLENVARO_PSQL_ODBC_DRIVER))) {
            why = u"psqlODBC not installed (" PLENVARO_PSQL_ODBC_DRIVER ")"_s;
            return;
        }
        // initdb refuses to run as root: the server then runs as "nobody".
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (!nobody ||
                ::chown(QFile::encodeName(dir_.path()).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
                why = u"running as root and cannot hand a directory to user nobody"_s;
                return;
            }
            if (QFile::exists(u"/usr/bin/setpriv"_s))
                runAs_ = {u"/usr/bin/setpriv"_s, u"--reuid=%1"_s.arg(nobody->pw_uid),
                          u"--regid=%1"_s.arg(nobody->pw_gid), u"--clear-groups"_s, u"--"_s};
            else if (QFile::exists(u"/usr/sbin/runuser"_s))
                runAs_ = {u"/usr/sbin/runuser"_s, u"-u"_s, u"nobody"_s, u"--"_s};
            else {
                why = u"running as root without setpriv or runuser to start PostgreSQL as another user"_s;
                return;
            }
        }
        port_ = freePort();
        const QString data = dir_.filePath(u"data"_s);
        QString out;
        if (!run(runAs_, bin_ + u"/initdb"_s,
                 {u"-D"_s, data, u"-U"_s, u"pgadmin"_s, u"--auth=trust"_s, u"-E"_s, u"UTF8"_s,
                  u"--no-locale"_s},
                 out)) {
            failure = u"initdb failed: "_s + out;
            return;
        }
        // Password logins over TCP, so that the data source's stored credentials matter.
        QFile hba(data + u"/pg_hba.conf"_s);
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            failure = u"cannot write pg_hba.conf"_s;
            return;
        }
        hba.write("local all all trust\nhost all all 127.0.0.1/32 scram-sha-256\n");
        hba.close();
        if (!run(runAs_, bin_ + u"/pg_ctl"_s,
                 {u"-D"_s, data, u"-l"_s, dir_.filePath(u"server.log"_s), u"-w"_s, u"-t"_s, u"60"_s, u"-o"_s,
                  u"-p %1 -k %2 -c listen_addresses=127.0.0.1"_s.arg(port_).arg(dir_.path()), u"start"_s},
                 out)) {
            failure = u"the PostgreSQL server did not start: "_s + out;
            return;
        }
        started_ = true;
        if (!psql(u"postgres"_s, u"pgadmin"_s, u"CREATE ROLE tovi_user LOGIN PASSWORD 'Kunde2026'"_s, out) ||
            !psql(u"postgres"_s, u"pgadmin"_s, u"CREATE DATABASE tovi OWNER tovi_user"_s, out) ||
            !psql(u"tovi"_s, u"tovi_user"_s,
                  u"CREATE TABLE kk_artikel (num_artikel varchar(10), nam_artikel text, nam_artikel_2 text, "
                  u"nam_artikel_lang text, anz_punkte integer, gueltig_ab date, gueltig_bis date, "
                  u"statt_preis numeric(10,2), dat_loesch date);"
                  u"INSERT INTO kk_artikel VALUES "
                  u"('4711000001', 'Äpfel', NULL, 'Äpfel aus dem Alten Land', 50, current_date - 3, "
                  u"current_date + 30, 12.5, '2099-12-31'),"
                  u"('4711000002', 'Birnen', 'lose', 'Birnen', 20, current_date, current_date, 3.99, "
                  u"current_date),"
                  u"('4711000003', 'Kirschen', NULL, 'Kirschen', 10, current_date - 3, current_date + 1, 1, "
                  u"NULL);"_s,
                  out)) {
            failure = u"setting up the database failed: "_s + out;
            return;
        }
    }

    ~PostgresServer()
    {
        if (started_) {
            QString out;
            run(runAs_, bin_ + u"/pg_ctl"_s,
                {u"-D"_s, dir_.filePath(u"data"_s), u"-m"_s, u"immediate"_s, u"-w"_s, u"stop"_s}, out);
        }
    }
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    int port() const { return port_; }
    QString directory() const { return dir_.path(); }

private:
    bool psql(const QString& database, const QString& user, const QString& sql, QString& out)
    {
        return run({}, bin_ + u"/psql"_s,
                   {u"-X"_s, u"-q"_s, u"-v"_s, u"ON_ERROR_STOP=1"_s, u"-h"_s, dir_.path(), u"-p"_s,
                    QString::number(port_), u"-U"_s, user, u"-d"_s, database, u"-c"_s, sql},
                   out);
    }

    QTemporaryDir dir_;
    QString bin_;
    QStringList runAs_;
    int port_ = 0;
    bool started_ = false;
};

class PostgresTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        odbcDir = std::make_unique<QTemporaryDir>();
        server = std::make_unique<PostgresServer>(whyNot, failure);
        if (!whyNot.isEmpty() || !failure.isEmpty())
            return;
        // The data source's default database is not tovi: "database=tovi" has to select it.
        QFile ini(odbcDir->filePath(u"odbc.ini"_s));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(u"[tovi_net]\nDriver=%1\nServername=127.0.0.1\nPort=%2\nDatabase=postgres\n"
                  u"Username=tovi_user\nPassword=Kunde2026\n"_s.arg(QStringLiteral(PLENVARO_PSQL_ODBC_DRIVER))
                      .arg(server->port())
                      .toUtf8());
        ini.close();
        QFile(odbcDir->filePath(u"odbcinst.ini"_s)).open(QIODevice::WriteOnly);
        qputenv("ODBCINI", QFile::encodeName(odbcDir->filePath(u"odbc.ini"_s)));
        qputenv("ODBCSYSINI", QFile::encodeName(odbcDir->path()));
    }
    static void TearDownTestSuite()
    {
        server.reset();
        odbcDir.reset();
    }
    void SetUp() override
    {
        if (!whyNot.isEmpty())
            GTEST_SKIP() << "PostgreSQL test skipped: " << s(whyNot);
        ASSERT_TRUE(failure.isEmpty()) << s(failure);
    }

    static std::shared_ptr<ado::Connection> connect()
    {
        auto connection = std::make_shared<ado::Connection>();
        connection->open(QString::fromUtf16(kProgramConnection));
        return connection;
    }

    static QString articleQuery()
    {
        const QString d = QDate::currentDate().toString(u"yyyy-MM-dd"_s) + u"'}"_s;
        return u"select num_artikel,nam_artikel,nam_artikel_2,nam_artikel_lang,anz_punkte,gueltig_ab,"
               u"gueltig_bis,statt_preis from kk_artikel where kk_artikel.gueltig_ab <= {d'"_s +
               d + u" AND kk_artikel.dat_loesch >= {d'"_s + d + u" AND kk_artikel.gueltig_bis >= {d'"_s + d;
    }

    static inline std::unique_ptr<QTemporaryDir> odbcDir;
    static inline std::unique_ptr<PostgresServer> server;
    static inline QString whyNot;
    static inline QString failure;
};

TEST_F(PostgresTest, ProgramConnectionLogsInWithStoredCredentialsIntoTheNamedDatabase)
{
    ado::Recordset rs;
    rs.open(u"select current_user, current_database()"_s, connect());
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(s(rs.value(0).toString()), "tovi_user");
    EXPECT_EQ(s(rs.value(1).toString()), "tovi");
}

TEST_F(PostgresTest, GivenCredentialsAreUsedAndRejectionsExplained)
{
    ado::Connection connection;
    try {
        connection.open(QString::fromUtf16(kProgramConnection), u"tovi_user"_s, u"falsch"_s);
        FAIL() << "wrong password accepted";
    } catch (const ado::Error& e) {
        EXPECT_EQ(e.number(), ado::adErrProviderFailed);
        EXPECT_TRUE(e.description().contains(u"password authentication failed")) << s(e.description());
    }
    EXPECT_FALSE(connection.isOpen());
    try {
        connection.open(u"dsn=tovi_net;database=gibt_es_nicht"_s);
        FAIL() << "missing database accepted";
    } catch (const ado::Error& e) {
        EXPECT_TRUE(e.description().contains(u"gibt_es_nicht")) << s(e.description());
    }
}

TEST_F(PostgresTest, ArticleQueryReadsTypedValues)
{
    ado::Recordset rs;
    rs.open(articleQuery(), connect());
    ASSERT_EQ(rs.recordCount(), 2); // the third has no deletion date
    EXPECT_EQ(rs.fieldType(0), ado::FieldType::Text);
    EXPECT_EQ(rs.fieldType(4), ado::FieldType::Integer);
    EXPECT_EQ(rs.fieldType(5), ado::FieldType::Date);
    ASSERT_EQ(rs.fieldType(7), ado::FieldType::Decimal);
    EXPECT_EQ(rs.fieldScale(7), 2);

    const qsizetype apples = rs.text(0, 0) == u"4711000001"_s ? 0 : 1;
    EXPECT_EQ(s(rs.text(apples, 3)), "Äpfel aus dem Alten Land");
    EXPECT_TRUE(rs.isNull(apples, 2));
    EXPECT_EQ(rs.integer(apples, 4), 50);
    EXPECT_EQ(rs.date(apples, 5), QDate::currentDate().addDays(-3));
    EXPECT_EQ(rs.decimal(apples, 7), (ado::Decimal{1250, 2}));
    EXPECT_EQ(s(ado::displayText(rs, apples, 7)), "12,50");
    EXPECT_EQ(s(ado::displayText(rs, 1 - apples, 7)), "3,99");

    rs.moveLast();
    rs.requery();
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs.absolutePosition(), 1);
}

} // namespace
