#pragma once

namespace corvane {

// Which package of a Linux application a target is. A Flatpak and a host package of the same id
// are two targets: the Flatpak's folders lie in its sandbox's home (~/.var/app/ID) and it runs in
// Flatpak's scopes and instances, the host package's folders lie in the base folders. Any takes
// both.
enum class LinuxPackage { Any, Host, Flatpak };

} // namespace corvane
