#pragma once

namespace corvane {

// Called before every call that changes the disk on the way of a reset or restore. A build made
// with CORVANE_KILL_POINTS stops the process there by SIGKILL once it has passed as many of them
// as CORVANE_KILL_AT says, so a test can kill a run at each of its changes in turn; elsewhere it
// does nothing.
void killPoint();

} // namespace corvane
