#pragma once

#include "dialogs/form_support.h"
#include "session/session_windows.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

namespace dialogs {

// The login dialog: personnel code and password of the merchandise-management system.
// One instance per process (dialogs::windows), created on first touch, afterwards only shown and hidden.
class FMPass final : public QDialog, public session::LoginDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FMPass)

public:
    FMPass();
    ~FMPass() override;

    QWidget& form() override { return *this; }
    QLineEdit& BUSER() override { return placed<QLineEdit>(*this, u"BUSER"); }
    QLineEdit& BPASSWORT() override { return placed<QLineEdit>(*this, u"BPASSWORT"); }
    void showModal() override;
    [[noreturn]] void BUAusst_Click() override;

    // Modeless, owned by the main window: a new login during the run.
    void showOwnedBy(QWidget* owner);
    // Saves the seven connection settings, all or none: a value the store cannot keep raises an error
    // before anything is written.
    void Sichern();

    void BUSpeich_Click();
    void BUServer_Click();

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    void BUSER_GotFocus();
    void BUSER_LostFocus();
    void BPASSWORT_GotFocus();
    void Form_Activate();
};

} // namespace dialogs
