#include "core/ProcessWideValues.h"

namespace corvane {

ProcessWideValues& processWide() {
    static ProcessWideValues values;
    return values;
}

} // namespace corvane
