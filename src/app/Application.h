#pragma once

namespace corvane {

// The window's application: its event loop, as the presenter needs it during long work.
class Application {
public:
    virtual ~Application() = default;
    // Termination begins on the next pass of the event loop, after the current event.
    virtual void terminateLater() = 0;
    // Lets the window repaint during long work on the main thread. Input that arrives
    // meanwhile is discarded, never kept for later.
    virtual void keepResponsive() {}
    // Marks long work on the main thread; spans nest. While one is open, mouse and key input to
    // the program's windows is discarded, and input that was waiting when the outermost span
    // ends is discarded too. In a cancellable span the cancel control still takes clicks.
    // Dialogs the work itself opens take input made after they are shown.
    virtual void beginBusy(bool cancellable) { (void)cancellable; }
    virtual void endBusy() {}
};

} // namespace corvane
