// The boundary every handler entry point runs behind: an error nothing trapped becomes
// the one error report, and the program ends at once without its shut-down.
#pragma once

#include <functional>
#include <string>

namespace platform {

using ErrorReport = std::function<void(int number, const std::string& description)>;

// Installed once by main(); the report must not return control to the handler.
void setErrorReport(ErrorReport report);

// Runs `handler`; an escaping error is reported and ends the process.
void runHandler(const std::function<void()>& handler) noexcept;

}  // namespace platform
