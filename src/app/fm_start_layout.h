#pragma once

class QWidget;

namespace app {

// Makes the main window's controls in client, as its control table lays them out (in twips), named by
// their control names, with the tab order of their tab indexes. Docking and resizing are the window's.
void layOutFMStart(QWidget& client);

} // namespace app
