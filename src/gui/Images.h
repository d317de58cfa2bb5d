#pragma once

#include "app/Controls.h"

#include <QIcon>

namespace corvane {

// Pixels for an Image: the program's own named images, or the icon of a file or bundle.
QIcon iconFor(const Image& image);

// The icon of a file or bundle: a bundle's own icon file where Qt can read it, else the
// desktop's icon for the item.
QIcon iconForFile(const QString& path);

// The program's named images, drawn on first use.
QIcon namedIcon(const QString& name);

} // namespace corvane
