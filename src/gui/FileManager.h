#pragma once

#include <QString>

namespace corvane {

// Shows the item selected in the desktop's file manager, through its D-Bus interface
// (org.freedesktop.FileManager1); where no file manager answers there, opens the folder that
// holds it. Returns at once.
void showInFileManager(const QString& path);

} // namespace corvane
