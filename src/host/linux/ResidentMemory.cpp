#include "host/ResidentMemory.h"

#include <cstdio>
#include <unistd.h>

namespace corvane {

std::optional<std::uint64_t> residentBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "re");
    if (!statm) {
        return std::nullopt;
    }
    unsigned long long size = 0;
    unsigned long long resident = 0;
    const int read = std::fscanf(statm, "%llu %llu", &size, &resident);
    std::fclose(statm);
    const long page = sysconf(_SC_PAGESIZE);
    if (read != 2 || page <= 0) {
        return std::nullopt;
    }
    return resident * static_cast<std::uint64_t>(page);
}

} // namespace corvane
