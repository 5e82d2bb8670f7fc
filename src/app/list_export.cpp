#include "app/list_export.h"

#include "platform/ado/ado_error.h"
#include "platform/ado/ado_list_text.h"
#include "platform/ado/ado_recordset.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/msgbox.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStandardPaths>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace app {
namespace {

// A list shorter than this is written before a progress bar would be worth showing.
constexpr qsizetype ProgressFromRows = 20000;

// What went wrong, in the user's words; the system's own text follows below it.
QString failureReason(QFileDevice::FileError error)
{
    switch (error) {
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
        return u"Die Datei kann dort nicht angelegt werden (keine Schreibberechtigung oder der Ordner "
               u"fehlt)."_s;
    case QFileDevice::WriteError:
    case QFileDevice::ResourceError:
    case QFileDevice::ResizeError:
        return u"Beim Schreiben ist ein Fehler aufgetreten (ist der Datenträger voll?)."_s;
    case QFileDevice::RenameError:
        return u"Die fertige Datei konnte nicht unter diesem Namen abgelegt werden (ist sie in einem anderen "
               u"Programm geöffnet?)."_s;
    default:
        return u"Die Datei konnte nicht geschrieben werden."_s;
    }
}

void reportFailure(const QString& fileName, QFileDevice::FileError error, const QString& systemText)
{
    forms::MsgBox(u"Die Liste wurde nicht gespeichert:\n%1\n\n%2\n\n(%3)"_s.arg(
                      QDir::toNativeSeparators(fileName), failureReason(error), systemText),
                  forms::Buttons::OkOnly, forms::Icon::Exclamation);
}

} // namespace

void askAndExportList(QWidget* parent, const ado::Recordset& recordset)
{
    QFileDialog dialog(parent, u"Liste exportieren"_s,
                       QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                           .filePath(u"Artikelliste.csv"_s),
                       u"CSV-Dateien (*.csv);;Alle Dateien (*)"_s);
    dialog.setObjectName(u"dlgListeExportieren"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(u"csv"_s);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    exportList(parent, recordset, dialog.selectedFiles().constFirst());
}

bool exportList(QWidget* parent, const ado::Recordset& recordset, const QString& fileName)
{
    QSaveFile file(fileName);
    // Never straight into the chosen file: a half-written list must not stand under its name.
    file.setDirectWriteFallback(false);
    // Unbuffered: a write the disk cannot take fails at that write, not unnoticed at the end.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        reportFailure(fileName, file.error(), file.errorString());
        return false;
    }

    const qsizetype rows = recordset.isOpen() ? recordset.recordCount() : 0;
    std::unique_ptr<QProgressDialog> progress;
    if (rows >= ProgressFromRows) {
        progress = std::make_unique<QProgressDialog>(u"Die Liste wird gespeichert ..."_s, u"Abbrechen"_s, 0,
                                                     1000, parent);
        progress->setObjectName(u"dlgExportFortschritt"_s);
        progress->setWindowTitle(u"Liste exportieren"_s);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(300);
        progress->setAutoReset(false);
        progress->setAutoClose(false);
        progress->setValue(0);
    }
    bool written = false;
    bool cancelled = false;
    forms::setMousePointer(forms::Pointer::Hourglass);
    const auto normalPointer = qScopeGuard([] { forms::setMousePointer(forms::Pointer::Default); });
    try {
        if (recordset.isOpen()) {
            written = ado::CsvWriter(recordset).write(file, [&](qsizetype done) {
                if (!progress)
                    return true;
                progress->setValue(static_cast<int>(done * 1000 / rows));
                cancelled = progress->wasCanceled();
                return !cancelled;
            });
        }
    } catch (const ado::Error& error) {
        file.cancelWriting();
        forms::setMousePointer(forms::Pointer::Default);
        reportFailure(fileName, QFileDevice::UnspecifiedError, error.description());
        return false;
    }
    if (progress)
        progress->close();
    forms::setMousePointer(forms::Pointer::Default);
    if (cancelled) {
        file.cancelWriting();
        return false;
    }
    if (!written || !file.commit()) {
        const QFileDevice::FileError error =
            file.error() == QFileDevice::NoError ? QFileDevice::WriteError : file.error();
        const QString text = file.errorString();
        file.cancelWriting();
        reportFailure(fileName, error, text);
        return false;
    }
    return true;
}

} // namespace app
