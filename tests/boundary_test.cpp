// The handler boundary: an error nothing trapped is logged and reported once, and the
// process then ends at once, with a failure and without its shut-down.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>

#include "platform/error.h"
#include "platform/fatal.h"

namespace {

void reportAndEscape(const std::function<void()>& handler) {
    std::atexit([] { std::fputs("shut down\n", stderr); });
    platform::setErrorReport([](int number, const std::string& description) {
        std::fprintf(stderr, "report %d %s\n", number, description.c_str());
        platform::runHandler([] { std::fputs("ran while the report was open\n", stderr); });
    });
    platform::runHandler(handler);
}

TEST(HandlerBoundary, AnEscapingErrorIsReportedOnceAndEndsTheProcessAtOnce) {
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[] { throw platform::RuntimeError(53, "PORT.DAT: gone"); },
         "^error 53: PORT.DAT: gone\nreport 53 PORT.DAT: gone\n$"},
        {[] { throw std::logic_error("no such control"); },
         "^error 51: no such control\nreport 51 no such control\n$"},
        {[] { throw 7; }, "^error 51: unknown error\nreport 51 unknown error\n$"},
    };
    for (const auto& [handler, stderrText] : cases)
        EXPECT_EXIT(reportAndEscape(handler), testing::ExitedWithCode(EXIT_FAILURE), stderrText);

    bool ran = false;
    platform::runHandler([&] { ran = true; });
    EXPECT_TRUE(ran);
}

}  // namespace
