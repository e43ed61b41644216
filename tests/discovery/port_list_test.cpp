// Runs the built port_list program on whatever ports this machine has.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct run_result {
    int exit_code;
    std::string output;
};

run_result run_port_list(const std::string& arguments)
{
    std::string command = std::string("'") + PORT_LIST_PROGRAM + "' " + arguments + " 2>&1";
    run_result result{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
    int status = pclose(pipe);
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    return result;
}

bool has_header_or_nothing_found(const std::string& output)
{
    return output.find("Number  Port name") != std::string::npos || output.find("No serial ports found.") != std::string::npos ||
           output.find("No port matches.") != std::string::npos;
}

TEST(port_list, lists_ports_with_a_header_or_says_none_were_found)
{
    struct usage_case {
        const char* arguments;
        int exit_code;
    };
    const usage_case cases[] = {
        {"", 0},
        {"--type 0", 0},
        {"--type 4", 0},
        {"COM", 0},
    };
    for (const usage_case& c : cases) {
        SCOPED_TRACE(c.arguments);
        run_result result = run_port_list(c.arguments);
        EXPECT_EQ(result.exit_code, c.exit_code) << result.output;
        EXPECT_TRUE(has_header_or_nothing_found(result.output)) << result.output;
    }
    run_result all = run_port_list("");
    if (all.output.find("No serial ports found.") == std::string::npos) {
        EXPECT_NE(all.output.find("Number  Port name"), std::string::npos) << all.output;
    }
    EXPECT_NE(run_port_list("--type 4").output.find("\"Prolific\""), std::string::npos);
}

TEST(port_list, rejects_bad_usage)
{
    for (const char* arguments : {"--type", "--type x", "--type 7", "--type -1", "--verbose", "one two"}) {
        SCOPED_TRACE(arguments);
        run_result result = run_port_list(arguments);
        EXPECT_EQ(result.exit_code, 1) << result.output;
        EXPECT_NE(result.output.find("Usage: port_list"), std::string::npos) << result.output;
    }
    EXPECT_EQ(run_port_list("--help").exit_code, 0);
}

}  // namespace
