#pragma once

#include "session/session_windows.h"

#include <QDialog>
#include <QLabel>
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
    QLineEdit& BFIRMA() override { return *m_company; }
    QLineEdit& BFIL() override { return *m_branch; }
    QLineEdit& BSERVERIP() override { return *m_address; }
    QLineEdit& BPORT() override { return *m_port; }
    QLineEdit& BNAMESPACE() override { return *m_namespace; }
    QTimer& Lock() override { return m_lock; }
    // Modal, without owner (between connection attempts).
    void showModal() override { showModalOwnedBy(nullptr); }
    void showModalOwnedBy(QWidget* owner);

    QPushButton& BUEdit() { return *m_edit; }

    void BUEdit_Click();
    void BUZurueck_Click();
    void Lock_Timer();

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override {} // no cancel button: Esc does nothing

private:
    void setBoxesEnabled(bool enabled);

    QLineEdit* m_address;
    QLineEdit* m_port;
    QLineEdit* m_company;
    QLineEdit* m_branch;
    QLineEdit* m_namespace;
    QPushButton* m_edit;
    QPushButton* m_back;
    QTimer m_lock;
};

} // namespace dialogs
