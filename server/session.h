#pragma once

#include "database.h"
#include "log.h"
#include "scheduler.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>

namespace veldor {

// One client connection after its hello: its own local variables (the server context of its
// command lines) and the server objects it holds open.
class Session final
{
public:
    struct Limits
    {
        std::size_t maxLocals = static_cast<std::size_t>(-1); // bytes of local variables
        qsizetype maxErrorText = 1024;                        // characters
    };
    using Reply = std::function<void(const QJsonObject&)>;

    // lateReply takes the reply to a request whose line had to wait for more turns.
    Session(int id, Database& db, Log& log, Scheduler& scheduler, Limits limits, Reply lateReply);
    ~Session(); // ends a line still running
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The reply, or nothing when the request runs on and its reply comes through lateReply.
    std::optional<QJsonObject> handle(const QJsonObject& request);
    // A request runs on; no other may start meanwhile.
    bool busy() const { return m_running != nullptr; }
    // Ends a running line (its client went): it fails with <BUDGET> and nobody gets a reply.
    void cancel();

    int id() const { return m_id; }
    int openObjects() const { return static_cast<int>(m_handles.size()); }

    // Most open objects one session may hold, so a client that never closes cannot exhaust memory.
    static constexpr int MaxOpenObjects = 10000;

private:
    struct OpenObject
    {
        ServerClass* cls = nullptr;
        const StoredObject* object = nullptr; // null for a class object
        QString id;
    };

    QJsonObject open(const QJsonObject& request);
    QJsonObject classObject(const QJsonObject& request);
    QJsonObject property(const QJsonObject& request);
    std::optional<QJsonObject> call(const QJsonObject& request);
    QJsonObject close(const QJsonObject& request);

    QJsonObject newHandle(OpenObject object);
    const OpenObject* lookup(const QJsonObject& request) const;
    QString lookupName(const QString& name) const; // upper-cased
    QJsonObject invalidHandle();
    std::optional<QJsonObject> xecute(const QString& line);
    QJsonObject xecuteReply();
    void startRoutine(const std::string& routine, m::Environment& env);
    QJsonObject fail(std::int32_t number, const QString& text);
    void log(const QString& line) { m_log.write(QStringLiteral("session %1 ").arg(m_id) + line); }

    int m_id;
    Database& m_db;
    Log& m_log;
    Scheduler& m_scheduler;
    Limits m_limits;
    Reply m_lateReply;
    m::Variables m_locals{"local variables"};
    std::map<int, OpenObject> m_handles;
    int m_nextHandle = 1;
    Scheduler::Task* m_running = nullptr;
    std::optional<m::MError> m_failure; // how the last line ended
};

} // namespace veldor
