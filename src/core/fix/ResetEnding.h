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

// The ending in one word, as scripts read it: "done", "nothing", "partial", "declined",
// "interrupted".
inline const char* endingWord(ResetEnding ending) {
    switch (ending) {
    case ResetEnding::Done:
        return "done";
    case ResetEnding::NothingToDo:
        return "nothing";
    case ResetEnding::Partial:
        return "partial";
    case ResetEnding::Interrupted:
        return "interrupted";
    case ResetEnding::Declined:
        break;
    }
    return "declined";
}

} // namespace corvane
