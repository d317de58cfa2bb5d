#pragma once

#include "ports/Services.h"

namespace corvane {

// One line per message to the system log and, unless told otherwise, to standard error. Debug
// lines go to the system log only.
class SyslogSystemLog : public SystemLog {
public:
    SyslogSystemLog();
    void log(const std::string& line) override;
    void debug(const std::string& line) override;

    // The command line says what went wrong in its own words, so its log stays in the system log.
    void setEchoToStandardError(bool echo) { m_echo = echo; }

private:
    bool m_echo = true;
};

} // namespace corvane
