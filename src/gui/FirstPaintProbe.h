#pragma once

class QWidget;

namespace corvane {

// Names the file the first paint is recorded in: a file, or /dev/fd/N for a descriptor the
// starting process handed down.
inline constexpr const char* kFirstPaintLogVariable = "CORVANE_FIRST_PAINT_LOG";

// When kFirstPaintLogVariable is set, appends one line to that file as `window` begins its first
// paint: "first-paint NANOSECONDS RSS_BYTES", the time on CLOCK_MONOTONIC and the process's
// resident set size then. Without the variable nothing is installed.
void recordFirstPaint(QWidget& window);

} // namespace corvane
