#pragma once

#include "platform/winreg/registry_api.h"

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QUrl;

// The about box: program name, version, description and maker, and a button that starts the system
// information tool. Modeless, owned by the main window so that it stays above it and gets the focus
// back from its own messages; closing it unloads it, so every opening loads it afresh
// (dialogs::windows).
class frmAbout final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmAbout)

public:
    frmAbout();

    // Shows the box modeless, kept above its owner's window (null: no owner).
    void showOwnedBy(QWidget* owner);

    // Opens a hyperlink's address. Empty restores the default, the desktop's handler.
    using UrlOpener = std::function<bool(const QUrl&)>;
    static void setUrlOpener(UrlOpener opener);

    // Starts the system information tool found through the registry, or says that it is not available.
    void StartSysInfo();

    // Reads value SubKeyRef of key KeyName below KeyRoot: a string as its text, a 32-bit number as "&h" and
    // its hexadecimal digits; other types leave KeyVal as it was. False (and KeyVal empty) if the key cannot
    // be opened or the value not read.
    static bool GetKeyValue(HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal);

    // Esc and the close box act like the OK button.
    void reject() override;

private:
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    QLabel* m_lblTitle = nullptr;
    QLabel* m_lblVersion = nullptr;
};
