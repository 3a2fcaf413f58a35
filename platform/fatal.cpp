#include "platform/fatal.h"

#include <cstdlib>
#include <exception>

#include "platform/error.h"
#include "platform/log.h"

namespace platform {

namespace {
ErrorReport g_report;
bool g_failing = false;

[[noreturn]] void fail(int number, const std::string& description) noexcept {
    // The report is modal: nothing may run while it is open, the program is ending.
    g_failing = true;
    logLine("error " + std::to_string(number) + ": " + description);
    try {
        if (g_report) g_report(number, description);
    } catch (...) {
    }
    std::_Exit(EXIT_FAILURE);
}
}  // namespace

void setErrorReport(ErrorReport report) {
    g_report = std::move(report);
}

void runHandler(const std::function<void()>& handler) noexcept {
    if (g_failing) return;
    try {
        if (handler) handler();
    } catch (const RuntimeError& e) {
        fail(e.number(), e.description());
    } catch (const std::exception& e) {
        fail(err::Internal, e.what());
    } catch (...) {
        fail(err::Internal, "unknown error");
    }
}

}  // namespace platform
