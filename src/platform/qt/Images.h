#pragma once

#include "platform/Controls.h"

#include <QIcon>

namespace corvane {

// Pixels for an Image: the program's own named images, or the icon of a file or bundle.
QIcon iconFor(const Image& image);

// The program's named images, drawn on first use.
QIcon namedIcon(const QString& name);

} // namespace corvane
