#pragma once

#include "database.h"
#include "log.h"

#include <QJsonObject>
#include <QString>

#include <map>
#include <optional>

namespace veldor {

// One client connection after its hello: its own local variables (the server context of its
// command lines) and the server objects it holds open.
class Session final
{
public:
    Session(int id, Database& db, Log& log);

    QJsonObject handle(const QJsonObject& request);

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
    QJsonObject call(const QJsonObject& request);
    QJsonObject close(const QJsonObject& request);

    QJsonObject newHandle(OpenObject object);
    const OpenObject* lookup(const QJsonObject& request) const;
    QJsonObject invalidHandle();
    QJsonObject xecute(const QString& line);
    void startRoutine(const std::string& routine, m::Environment& env);
    QJsonObject fail(std::int32_t number, const QString& text);
    void log(const QString& line) { m_log.write(QStringLiteral("session %1 ").arg(m_id) + line); }

    int m_id;
    Database& m_db;
    Log& m_log;
    m::Variables m_locals;
    std::map<int, OpenObject> m_handles;
    int m_nextHandle = 1;
};

} // namespace veldor
