#pragma once

#include <QString>

class QWidget;

namespace ado {
class Recordset;
}

namespace app {

// "Liste exportieren...": asks where to save the list and saves it there (exportList). Nothing happens
// when the user cancels the question.
void askAndExportList(QWidget* parent, const ado::Recordset& recordset);

// Saves the list as shown (its order, every row) as CSV under fileName, with a progress bar while a long
// list is written. The file appears under that name only once it is complete: a write that fails (a full
// disk, no permission) or is cancelled leaves whatever was there before. A failure is said in a message
// box. True when the file was saved.
bool exportList(QWidget* parent, const ado::Recordset& recordset, const QString& fileName);

} // namespace app
