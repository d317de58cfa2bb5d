#pragma once

#include "ports/Processes.h"

namespace corvane {

class PosixProcessLauncher : public ProcessLauncher {
public:
    [[nodiscard]] Result<ProcessOutput> run(const std::string& launchPath,
                                            const std::vector<std::string>& arguments) override;
    std::string toolPath(Tool tool) const override;
    bool isInstalled(const std::string& launchPath) const override;
};

} // namespace corvane
