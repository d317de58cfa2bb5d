#include "host/SyslogSystemLog.h"

#include <cstdio>
#include <syslog.h>

namespace corvane {

SyslogSystemLog::SyslogSystemLog() {
    openlog("Corvane", LOG_PID, LOG_USER);
}

void SyslogSystemLog::log(const std::string& line) {
    // Line breaks inside a message would split it into several log lines.
    std::string single = line;
    for (char& c : single) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    syslog(LOG_NOTICE, "%s", single.c_str());
    std::fprintf(stderr, "corvane: %s\n", single.c_str());
}

} // namespace corvane
