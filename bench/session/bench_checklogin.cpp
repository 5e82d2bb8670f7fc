// CheckLogin from start to return with stored credentials on loopback, beside the same server
// calls made bare through the client (no settings store, no dialogs, no session bookkeeping).
#include "dialogs/program_windows.h"
#include "platform/forms/test_reset.h"
#include "platform/objfactory/factory.h"
#include "platform/winreg/registry_api.h"
#include "server_process.h"
#include "session/check_login.h"
#include "session/session_settings.h"
#include "session/settings_store.h"
#include "session/text_routines.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void store(const char* key, const QString& value)
{
    session::SaveSetting(u"Cache Login"_s, u"Login"_s, QString::fromLatin1(key), value);
}

// The server calls of one verification, in the same order, without anything around them.
int bareVerification(objfactory::Factory& f)
{
    objfactory::ServerObject user = f.OpenId(u"VD.ParPersEdv"_s, u"1||K17"_s);
    (void)user.property(u"Passwort"_s);
    (void)user.property(u"AKTIV"_s);
    (void)user.call(u"PNAMELogicalToODBC"_s, user.property(u"PNAME"_s));
    (void)user.call(u"PNAMELogicalToODBC"_s, user.property(u"PNAME"_s));
    (void)user.property(u"ABTNR"_s);
    (void)user.property(u"DW"_s);
    (void)user.property(u"BERGRP"_s);
    objfactory::ServerObject dept = f.OpenId(u"VD.ParPersAbt"_s, u"1||3"_s);
    (void)dept.call(u"ABTBEZlogicaltoodbc"_s, dept.property(u"abtbez"_s));
    dept.SYS_Close();
    objfactory::ServerObject person = f.OpenId(u"VD.PersBasis"_s, u"1||"_s + *user.property(u"PNR"_s));
    (void)person.property(u"FAX"_s);
    (void)person.call(u"EMAILLogicalToodbc"_s, person.property(u"email"_s));
    person.SYS_Close();
    user.SYS_Close();
    objfactory::ServerObject windows = f.ClassObject(u"VD.Windows"_s);
    (void)windows.call(u"Xecute"_s, u"S FIRMA=1,FIL=0,PERSONAL=\"K17|Maier\""_s);
    windows.SYS_Close();
    return 24; // round trips above
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 500;
    QTemporaryDir dir;
    qputenv("PLENVARO_REGISTRY", dir.filePath(u"registry.sqlite3"_s).toUtf8());
    plenvaroRegistryReset();
    testsupport::ServerProcess server;
    if (!server.start(testsupport::ServerProcess::standardData())) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    store("Server", u"127.0.0.1"_s);
    store("Port", QString::number(server.port()));
    store("Name", u"K17"_s);
    store("Passwort", session::ScramblePassword(u"geheim"_s));
    dialogs::windows::install();

    std::vector<double> login;
    for (int i = 0; i < runs + 20; ++i) {
        const auto t0 = Clock::now();
        if (!session::CheckLogin())
            return 1;
        if (i >= 20)
            login.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }

    objfactory::Factory f;
    QString cs = server.connectString();
    f.Connect(cs);
    std::vector<double> bare;
    int trips = 0;
    for (int i = 0; i < runs + 20; ++i) {
        const auto t0 = Clock::now();
        trips = bareVerification(f);
        if (i >= 20)
            bare.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::printf("CheckLogin with stored credentials, %d runs: median %.0f us\n", runs, median(login));
    std::printf("its %d server round trips made bare:       median %.0f us\n", trips, median(bare));
    std::fflush(stdout);
    forms::resetForTests();
    std::_Exit(0);
}
