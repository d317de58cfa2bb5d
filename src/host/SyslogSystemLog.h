#pragma once

#include "ports/Services.h"

namespace corvane {

// One line per message to the system log and to standard error.
class SyslogSystemLog : public SystemLog {
public:
    SyslogSystemLog();
    void log(const std::string& line) override;
};

} // namespace corvane
