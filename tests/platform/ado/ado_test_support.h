#pragma once

#include <QDate>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace ado::test {

inline constexpr char16_t kConnectionString[] = u"PROVIDER=MSDASQL;dsn=tovi_net;uid=;pwd=;database=tovi;";

// A private ODBC configuration for the test process: a temporary directory with odbc.ini / odbcinst.ini,
// ODBCINI and ODBCSYSINI pointing there, and these data sources on the SQLite driver (by file path):
//   tovi_net      -> databasePath(), StepAPI=1, Timeout=1000 (the driver's wait for a locked database, ms)
//   tovi_missing  -> a driver file that does not exist
// Created on first use, before any ODBC call of the process; throws if the files cannot be written.
// Under Wine the driver manager is the host's, which reads the environment Wine started with: there
// with_odbc_sandbox.sh makes the directory and names it in PLENVARO_TEST_ODBC_DIR.
class OdbcSandbox final
{
public:
    static OdbcSandbox& instance();
    static bool driverAvailable();

    QString directory() const { return dir_; }
    QString databasePath() const { return dir_ + QStringLiteral("/kundenkarte.db"); }

private:
    OdbcSandbox();
    std::optional<QTemporaryDir> owned_; // where the test makes the directory itself
    QString dir_;
};

struct Article
{
    // A null QVariant stands for NULL; SQLite takes any value in any column.
    QVariant number;
    QVariant name;
    QVariant name2;
    QVariant longName;
    QVariant points;
    QVariant validFrom;
    QVariant validTo;
    QVariant price;
    QVariant deleted;
};

// An article valid today: from ten days ago, to in a month, deletion date far ahead.
Article validArticle(const QString& number, double price = 9.99);

// Failures throw std::runtime_error saying what went wrong: GoogleTest fails the test with that message,
// and QTest fails the whole run.

// Another program's write lock on the database, held while it lives: readers wait for it.
class DatabaseLock
{
public:
    virtual ~DatabaseLock() = default;
};
std::unique_ptr<DatabaseLock> lockExclusively(const QString& databasePath);

// Replaces table kk_artikel of the database with these rows.
void writeArticles(const QString& databasePath, const std::vector<Article>& articles);
void execSql(const QString& databasePath, const QString& sql);

// The article query exactly as the program builds it for `day`.
QString articleQuery(QDate day = QDate::currentDate());

} // namespace ado::test
