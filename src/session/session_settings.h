#pragma once

#include "platform/objfactory/factory.h"

#include <QString>

#include <memory>

namespace session {

// The one process-wide record of the session: where the server is, who the user is, and the live
// server connection. Numbers are held as text, exactly as typed or stored.
struct SessionSettings
{
    QString CompanyNo;
    QString BranchNo;
    QString UserCode;
    QString Password; // in clear
    QString ServerAddress;
    QString ServerPort;
    QString Namespace;
    QString ConnectString;
    std::unique_ptr<objfactory::Factory> Connection;
    QString UserIdent; // UserCode + "|" + display name
    QString UserDisplayName;
    QString UserDW;
    QString UserBerGrp;
    QString DepartmentName;
    QString UserFax;
    QString UserEmail;
    QString CommandLine;
    bool LoginRejected = false;
    bool LoginServerError = false;
    // Set once credentials from the command line were refused: they are not used again this run,
    // so the next attempt asks the user instead of failing the same way for ever.
    bool CommandLineRefused = false;
};

SessionSettings& Session();
// A fresh record, as at program start (for tests).
void resetSession();

// The server address used when neither the store nor the command line names one.
QString siteDefaultServer();

} // namespace session
