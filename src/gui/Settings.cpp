#include "gui/Settings.h"

#include <QStandardPaths>

namespace corvane {

std::unique_ptr<QSettings> rememberedSettings() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::make_unique<QSettings>(folder + QStringLiteral("/Corvane/Corvane.conf"),
                                       QSettings::IniFormat);
}

} // namespace corvane
