#pragma once

#include <QString>
#include <QStringList>

namespace testsupport {

// The log file of a veldor-server, read afresh on every call.
class ServerLog final
{
public:
    explicit ServerLog(QString path = {}) : m_path(std::move(path)) {}

    QString text() const;
    QStringList lines() const;
    qsizetype count(const QString& text) const;
    // Waits until text occurs at least count times in the log (or the timeout passes).
    bool waitForCount(const QString& text, qsizetype count, int timeoutMs) const;

private:
    QString m_path;
};

} // namespace testsupport
