#pragma once

namespace corvane {

// How the latest fix or restore ended, for the faces that report it as an exit status.
enum class ResetEnding {
    Done,        // everything asked for was done
    NothingToDo, // nothing was found, or nothing was left to put back
    Partial,     // some entries stayed where they were, each named with its reason
    Declined,    // nothing was changed: the user said no, the target did not quit, another run
                 // held the records, or no record could be written
    Interrupted, // a signal stopped the run after the entry in hand; the journal holds the rest
};

} // namespace corvane
