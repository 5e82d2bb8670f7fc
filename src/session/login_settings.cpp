#include "session/login_settings.h"

#include "session/session_settings.h"
#include "session/session_windows.h"
#include "session/settings_store.h"
#include "session/text_routines.h"

using namespace Qt::Literals::StringLiterals;

namespace session {
namespace {

QString stored(const char* key, const QString& def)
{
    return GetSetting(QString::fromLatin1(SettingsApplication), QString::fromLatin1(SettingsSection),
                      QString::fromLatin1(key), def);
}

void fillDialogs()
{
    SessionSettings& s = Session();
    ServerDialog& server = FMServer();
    server.BFIRMA().setText(s.CompanyNo);
    server.BFIL().setText(s.BranchNo);
    server.BSERVERIP().setText(s.ServerAddress);
    server.BPORT().setText(s.ServerPort);
    server.BNAMESPACE().setText(s.Namespace);
    FMPass().BUSER().setText(s.UserCode);
}

} // namespace

bool CommandLineSupplies()
{
    const SessionSettings& s = Session();
    return !s.CommandLine.isEmpty() && !s.CommandLineRefused && IsNumeric(GetPiece(s.CommandLine, u" "_s, 1));
}

namespace {

void takeCommandLine()
{
    SessionSettings& s = Session();
    const QString& line = s.CommandLine;
    s.CompanyNo = GetPiece(line, u" "_s, 1);
    s.BranchNo = GetPiece(line, u" "_s, 2);
    s.UserCode = GetPiece(line, u" "_s, 3);
    s.Password = GetPiece(line, u" "_s, 4);
    s.ServerAddress = GetPiece(line, u" "_s, 5, siteDefaultServer());
    s.ServerPort = GetPiece(line, u" "_s, 6, u"1973"_s);
    s.Namespace = GetPiece(line, u" "_s, 7, u"VELDOR"_s);
    fillDialogs();
}

} // namespace

void LoadSettings()
{
    SessionSettings& s = Session();
    s.CompanyNo = stored("Firma", u"1"_s);
    s.BranchNo = stored("Filiale", u"0"_s);
    s.ServerAddress = stored("Server", siteDefaultServer());
    s.ServerPort = stored("Port", u"1973"_s);
    s.Namespace = stored("Namespace", u"VELDOR"_s);
    s.UserCode = stored("Name", QString());
    s.Password = FMPass().BPASSWORT().text();
    if (!s.LoginServerError) {
        s.Password = ScramblePassword(stored("Passwort", QString()));
        FMPass().BPASSWORT().setText(s.Password);
    }
    fillDialogs();
}

void PrepareLogin()
{
    SessionSettings& s = Session();
    if (CommandLineSupplies()) {
        takeCommandLine();
    } else {
        LoadSettings();
        const bool usable =
            !s.Password.isEmpty() && !s.UserCode.isEmpty() && !s.LoginServerError && !s.LoginRejected;
        if (!usable) {
            if (!FMPass().form().isVisible())
                FMPass().showModal();
            LoadSettings();
        }
    }
    BuildConnectString();
}

void BuildConnectString()
{
    SessionSettings& s = Session();
    s.ConnectString = u"cn_iptcp:"_s + s.ServerAddress + u'[' + s.ServerPort + u"]:VELDOR"_s;
}

} // namespace session
