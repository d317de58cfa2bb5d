#include "host/posix/SyslogSystemLog.h"

#include <cstdio>
#include <syslog.h>

namespace corvane {

SyslogSystemLog::SyslogSystemLog() {
    openlog("Corvane", LOG_PID, LOG_USER);
}

namespace {

// Line breaks inside a message would split it into several log lines.
std::string oneLine(const std::string& line) {
    std::string single = line;
    for (char& c : single) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return single;
}

} // namespace

void SyslogSystemLog::log(const std::string& line) {
    const std::string single = oneLine(line);
    syslog(LOG_NOTICE, "%s", single.c_str());
    if (m_echo) {
        std::fprintf(stderr, "corvane: %s\n", single.c_str());
    }
}

void SyslogSystemLog::debug(const std::string& line) {
    syslog(LOG_DEBUG, "%s", oneLine(line).c_str());
}

} // namespace corvane
