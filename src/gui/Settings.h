#pragma once

#include <QSettings>
#include <memory>

namespace corvane {

// What the window remembers between runs (its size and place, the folder last chosen from), in
// $XDG_CONFIG_HOME/Corvane/Corvane.conf, by default ~/.config/Corvane/Corvane.conf. The place is
// looked up anew each time, so it follows the environment of the moment.
std::unique_ptr<QSettings> rememberedSettings();

} // namespace corvane
