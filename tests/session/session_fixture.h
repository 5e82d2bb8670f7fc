#pragma once

// What every login test starts from: a fresh session record and dialogs, an empty settings
// store of its own, a real server, and a program end that can be observed.

#include "dialogs/program_windows.h"
#include "modal_driver.h"
#include "platform/forms/end_program.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/test_reset.h"
#include "platform/winreg/registry_api.h"
#include "server_process.h"
#include "session/session_settings.h"
#include "session/settings_store.h"
#include "session/text_routines.h"

#include <QFile>
#include <QTemporaryDir>

namespace testsupport {

inline void storeSetting(const char* key, const QString& value)
{
    session::SaveSetting(QString::fromLatin1(session::SettingsApplication),
                         QString::fromLatin1(session::SettingsSection), QString::fromLatin1(key), value);
}

inline QString storedSetting(const char* key)
{
    return session::GetSetting(QString::fromLatin1(session::SettingsApplication),
                               QString::fromLatin1(session::SettingsSection), QString::fromLatin1(key),
                               QStringLiteral("<absent>"));
}

class SessionFixture
{
public:
    void start()
    {
        forms::resetForTests();
        forms::MessageBoxes::setFailIfUnanswered(true);
        forms::setEndProgramHandler([](int code) { throw forms::ProgramEnded(code); });
        session::resetSession();
        dialogs::windows::destroyAll();
        dialogs::windows::install();
        store = std::make_unique<QTemporaryDir>();
        qputenv("PLENVARO_REGISTRY", store->filePath(QStringLiteral("registry.sqlite3")).toUtf8());
        plenvaroRegistryReset();
        server = std::make_unique<ServerProcess>();
        if (!server->start(ServerProcess::standardData()))
            qFatal("server: %s", qPrintable(server->error()));
    }

    void stop()
    {
        dialogs::windows::destroyAll();
        session::resetSession();
        server.reset();
        plenvaroRegistryReset();
        store.reset();
        forms::resetForTests();
    }

    // Credentials as the login dialog would have saved them.
    void storeLogin(const QString& user, const QString& password)
    {
        storeSetting("Server", QStringLiteral("127.0.0.1"));
        storeSetting("Port", QString::number(server->port()));
        storeSetting("Name", user);
        storeSetting("Passwort", session::ScramblePassword(password));
    }

    QString registryFile() const { return store->filePath(QStringLiteral("registry.sqlite3")); }

    std::unique_ptr<QTemporaryDir> store;
    std::unique_ptr<ServerProcess> server;
};

} // namespace testsupport
