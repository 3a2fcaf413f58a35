#include <gtest/gtest.h>

#include "port_settings/settings_format.h"

namespace {

using namespace settings;

std::string show(const std::optional<PortSettings>& s) {
    return s ? std::to_string(s->port) + "|" + s->bps + "|" + s->folder : "fail";
}

TEST(SettingsFormat, ReadsLinesOrOneLineAndRejectsIncompleteFiles) {
    const std::pair<const char*, const char*> cases[] = {
        {"3\r\n\"19200\"\r\n\"C:\\DATA\"\r\n", "3|19200|C:\\DATA"},
        {"3,\"19200\",\"C:\\DATA\"", "3|19200|C:\\DATA"},
        {"3,\"19200\",\"C:\\DATA\",\r\n", "3|19200|C:\\DATA"},
        {"\n3 ,\t\"19200\"\n\n \"C:\\DATA\"\n", "3|19200|C:\\DATA"},  // edited here: LF alone
        {"13,\"9600\",\"/a, b\r\nc\"", "13|9600|/a, b\r\nc"},         // no range check on the port
        {"-32768,57600 \t,/my records  \r\n", "-32768|57600|/my records"},
        {"3\r\n\"19200\"\r\n", "fail"},
        {"3,\"19200\",\"C:\\DATA", "fail"},
        {"70000\r\n\"19200\"\r\n\"C:\\DATA\"\r\n", "fail"},
        {"32768,a,b", "fail"},
        {"99999999999999999999999,a,b", "fail"},
        {"COM3,a,b", "fail"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(show(parse(text)), expected) << testing::PrintToString(text);
}

}  // namespace
