#include "session/check_login.h"

#include "platform/forms/end_program.h"
#include "platform/forms/error.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/program_log.h"
#include "session/connect_server.h"
#include "session/login_settings.h"
#include "session/server_access.h"
#include "session/session_log.h"
#include "session/session_settings.h"
#include "session/session_windows.h"
#include "session/text_routines.h"

using namespace Qt::Literals::StringLiterals;

namespace session {
namespace {

// A server step whose failure is reported by the access error report and ends the attempt.
class ProtectedStepFailed final : public std::exception
{
public:
    const char* what() const noexcept override { return "protected login step failed"; }
};

template <typename Step> void protectedStep(const QString& operation, Step&& step)
{
    try {
        step();
    } catch (const forms::ProgramEnded&) {
        throw;
    } catch (const std::exception& error) {
        SessionSettings& s = Session();
        s.LoginRejected = true;
        s.LoginServerError = true;
        forms::logEntry(lcSession(), u"Anmeldung fehlgeschlagen: "_s + operation, s.UserCode);
        ShowAccessError(forms::describe(error), operation);
        throw ProtectedStepFailed();
    }
}

// A value without any (null) never equals the expected text, so it rejects.
bool differs(const objfactory::Value& value, const QString& expected)
{
    return !value || *value != expected;
}

void reject()
{
    forms::MsgBox(u"Passwort Falsch oder Benutzer nicht Aktiv."_s, forms::Buttons::OkOnly,
                  forms::Icon::Information, u"Anmeldung an Caché."_s);
    Session().LoginRejected = true;
    SelectAllText(FMPass().BPASSWORT(), true);
}

bool verify()
{
    SessionSettings& s = Session();
    objfactory::Factory& server = *s.Connection;
    objfactory::ServerObject user;
    protectedStep(u"Anmeldung mit nicht existierendem Personalcode"_s,
                  [&] { user = server.OpenId(u"VD.ParPersEdv"_s, s.CompanyNo + u"||"_s + s.UserCode); });

    if (differs(user.property(u"Passwort"_s), s.Password) || differs(user.property(u"AKTIV"_s), u"J"_s)) {
        reject();
        return false;
    }
    s.UserIdent =
        s.UserCode + u'|' + ValueText(user.call(u"PNAMELogicalToODBC"_s, user.property(u"PNAME"_s)));
    s.UserDisplayName = ValueText(user.call(u"PNAMELogicalToODBC"_s, user.property(u"PNAME"_s)));
    const QString departmentNo = ValueText(user.property(u"ABTNR"_s));
    s.UserDW = ValueText(user.property(u"DW"_s));
    s.UserBerGrp = ValueText(user.property(u"BERGRP"_s));

    protectedStep(u"Abteilungsermittlung"_s, [&] {
        objfactory::ServerObject department =
            server.OpenId(u"VD.ParPersAbt"_s, s.CompanyNo + u"||"_s + departmentNo);
        s.DepartmentName =
            ValueText(department.call(u"ABTBEZlogicaltoodbc"_s, department.property(u"abtbez"_s)));
        CloseServerObject(department);
    });
    protectedStep(u"PersBasis Nummern"_s, [&] {
        objfactory::ServerObject person =
            server.OpenId(u"VD.PersBasis"_s, s.CompanyNo + u"||"_s + ValueText(user.property(u"PNR"_s)));
        s.UserFax = ValueText(person.property(u"FAX"_s));
        s.UserEmail = ValueText(person.call(u"EMAILLogicalToodbc"_s, person.property(u"email"_s)));
        CloseServerObject(person);
        CloseServerObject(user);
    });
    protectedStep(u"Firma Filiale Personal Setzen"_s, [&] {
        objfactory::ServerObject windows = server.ClassObject(u"VD.Windows"_s);
        windows.call(u"Xecute"_s, ContextLine(s.CompanyNo, s.BranchNo, GetPiece(s.UserIdent, u"`"_s, 1)));
        CloseServerObject(windows);
    });
    s.LoginRejected = false;
    return true;
}

} // namespace

bool CheckLogin()
{
    SessionSettings& s = Session();
    s.UserIdent.clear();
    const bool fromCommandLine = CommandLineSupplies();
    PrepareLogin();
    BeginServerAccess(false);
    bool verified = false;
    try {
        verified = verify();
    } catch (const ProtectedStepFailed&) {
        if (fromCommandLine)
            s.CommandLineRefused = true;
        return false;
    }
    if (!verified && fromCommandLine)
        s.CommandLineRefused = true;
    forms::logEntry(lcSession(), verified ? u"Anmeldung erfolgreich"_s : u"Anmeldung abgelehnt"_s,
                    verified ? s.UserIdent : s.UserCode);
    EndServerAccess(false);
    FMPass().form().hide();
    FMServer().form().hide();
    return verified;
}

} // namespace session
