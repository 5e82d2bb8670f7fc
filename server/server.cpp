#include "server.h"

#include "connection.h"

using namespace Qt::Literals::StringLiterals;

namespace veldor {

Server::Server(Database& db, Log& log, int licences, QObject* parent)
    : QObject(parent), m_db(db), m_log(log), m_tcp([this](qintptr fd) { accept(fd); }), m_licences(licences)
{}

Server::~Server()
{
    // Connections give their licence back to this object, so they must go before its members do.
    const auto connections = findChildren<Connection*>(Qt::FindDirectChildrenOnly);
    for (Connection* connection : connections)
        delete connection;
}

bool Server::listen(const QHostAddress& address, quint16 port, QString& error)
{
    if (m_tcp.listen(address, port))
        return true;
    error = u"cannot listen on %1:%2: %3"_s.arg(address.toString()).arg(port).arg(m_tcp.errorString());
    return false;
}

void Server::accept(qintptr descriptor)
{
    // The connection deletes itself once its socket has gone; the parent link covers shutdown.
    auto* connection = new Connection(static_cast<int>(descriptor), *this, m_db, m_log);
    connection->setParent(this);
}

bool Server::takeLicence()
{
    if (m_licencesInUse >= m_licences)
        return false;
    ++m_licencesInUse;
    return true;
}

void Server::releaseLicence()
{
    --m_licencesInUse;
}

} // namespace veldor
