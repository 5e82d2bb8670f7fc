#pragma once

#include "dialogs/form_support.h"
#include "session/session_windows.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace dialogs {

// The server settings dialog: the five connection settings, locked until editing is allowed.
// It also hosts the idle disconnect timer. One instance per process (dialogs::windows), created on
// first touch, afterwards only shown and hidden.
class FMServer final : public QDialog, public session::ServerDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FMServer)

public:
    FMServer();
    ~FMServer() override;

    QWidget& form() override { return *this; }
    QLineEdit& BFIRMA() override { return placed<QLineEdit>(*this, u"BFIRMA"); }
    QLineEdit& BFIL() override { return placed<QLineEdit>(*this, u"BFIL"); }
    QLineEdit& BSERVERIP() override { return placed<QLineEdit>(*this, u"BSERVERIP"); }
    QLineEdit& BPORT() override { return placed<QLineEdit>(*this, u"BPORT"); }
    QLineEdit& BNAMESPACE() override { return placed<QLineEdit>(*this, u"BNAMESPACE"); }
    QTimer& Lock() override { return m_lock; }
    // Modal, without owner (between connection attempts).
    void showModal() override { showModalOwnedBy(nullptr); }
    void showModalOwnedBy(QWidget* owner);

    QPushButton& BUEdit() { return placed<QPushButton>(*this, u"BUEdit"); }

    // Raises an error naming the first box that cannot be saved as it stands: a port that is not a number
    // from 1 to 65535, a company or branch with anything but digits in it. Run before anything is saved.
    void checkEntries();

    void BUEdit_Click();
    void BUZurueck_Click();
    void Lock_Timer();

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override {} // no cancel button: Esc does nothing

private:
    void setBoxesEnabled(bool enabled);
    void editAgain();

    QTimer m_lock;
};

} // namespace dialogs
