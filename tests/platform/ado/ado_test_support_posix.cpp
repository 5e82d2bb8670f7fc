// The test process's own ODBC setup, and its database written with SQLite directly.
#include "ado_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <sqlite3.h>

#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace ado::test {
namespace {

[[noreturn]] void fail(const QString& what)
{
    throw std::runtime_error(what.toStdString());
}

void writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail(u"cannot write %1: %2"_s.arg(path, file.errorString()));
}

struct Db
{
    explicit Db(const QString& path)
    {
        if (sqlite3_open(QFile::encodeName(path).constData(), &handle) != SQLITE_OK) {
            const QString message = QString::fromUtf8(sqlite3_errmsg(handle));
            sqlite3_close(handle);
            fail(u"SQLite: cannot open %1: %2"_s.arg(path, message));
        }
    }
    ~Db() { sqlite3_close(handle); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    void exec(const QString& sql)
    {
        char* message = nullptr;
        if (sqlite3_exec(handle, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
            return;
        const QString text = QString::fromUtf8(message ? message : "?");
        sqlite3_free(message);
        fail(u"SQLite: %1 in %2"_s.arg(text, sql));
    }

    void check(int status, QStringView what)
    {
        if (status != SQLITE_OK && status != SQLITE_DONE)
            fail(u"SQLite: %1 in %2"_s.arg(QString::fromUtf8(sqlite3_errmsg(handle)), what));
    }

    sqlite3* handle = nullptr;
};

void bind(sqlite3_stmt* statement, int index, const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(statement, index);
    } else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong) {
        sqlite3_bind_int64(statement, index, value.toLongLong());
    } else if (value.typeId() == QMetaType::Double) {
        sqlite3_bind_double(statement, index, value.toDouble());
    } else {
        const QString text =
            value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate) : value.toString();
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(statement, index, utf8.constData(), static_cast<int>(utf8.size()),
                          SQLITE_TRANSIENT);
    }
}

} // namespace

OdbcSandbox::OdbcSandbox()
{
    owned_.emplace();
    dir_ = owned_->path();
    const QString dsn = u"[tovi_net]\nDriver=%1\nDatabase=%2\nStepAPI=1\nTimeout=1000\n\n"
                        u"[tovi_missing]\nDriver=%3\nDatabase=%2\n"_s.arg(
                            QStringLiteral(PLENVARO_SQLITE_ODBC_DRIVER), databasePath(),
                            owned_->filePath(u"no-such-driver.so"_s));
    writeFile(owned_->filePath(u"odbc.ini"_s), dsn);
    writeFile(owned_->filePath(u"odbcinst.ini"_s), QString());
    qputenv("ODBCINI", QFile::encodeName(owned_->filePath(u"odbc.ini"_s)));
    qputenv("ODBCSYSINI", QFile::encodeName(dir_));
}

bool OdbcSandbox::driverAvailable()
{
    return QFileInfo::exists(QStringLiteral(PLENVARO_SQLITE_ODBC_DRIVER));
}

void writeArticles(const QString& databasePath, const std::vector<Article>& articles)
{
    Db db(databasePath);
    db.exec(u"DROP TABLE IF EXISTS kk_artikel; CREATE TABLE kk_artikel (num_artikel TEXT, nam_artikel TEXT, "
            u"nam_artikel_2 TEXT, nam_artikel_lang TEXT, anz_punkte INTEGER, gueltig_ab DATE, gueltig_bis "
            u"DATE, statt_preis NUMERIC(10,2), dat_loesch DATE); BEGIN"_s);
    sqlite3_stmt* insert = nullptr;
    db.check(sqlite3_prepare_v2(db.handle, "INSERT INTO kk_artikel VALUES (?,?,?,?,?,?,?,?,?)", -1, &insert,
                                nullptr),
             u"preparing the insert");
    const auto finalize = qScopeGuard([insert] { sqlite3_finalize(insert); });
    for (const Article& a : articles) {
        const QVariant values[] = {a.number,    a.name,    a.name2, a.longName, a.points,
                                   a.validFrom, a.validTo, a.price, a.deleted};
        for (int i = 0; i < 9; ++i)
            bind(insert, i + 1, values[i]);
        db.check(sqlite3_step(insert), u"inserting an article");
        sqlite3_reset(insert);
    }
    db.exec(u"COMMIT"_s);
}

void execSql(const QString& databasePath, const QString& sql)
{
    Db db(databasePath);
    db.exec(sql);
}

std::unique_ptr<DatabaseLock> lockExclusively(const QString& databasePath)
{
    struct Lock final : DatabaseLock
    {
        explicit Lock(const QString& path) : db(path) { db.exec(u"BEGIN EXCLUSIVE"_s); }
        ~Lock() override { sqlite3_exec(db.handle, "ROLLBACK", nullptr, nullptr, nullptr); }
        Db db;
    };
    return std::make_unique<Lock>(databasePath);
}

} // namespace ado::test
