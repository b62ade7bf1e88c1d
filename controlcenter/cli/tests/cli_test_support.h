// What the command line's tests share: running the built program, and a seeded machine root with
// the Control Center password set.
#pragma once

#include <temp_machine_root.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cli_test {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string read_file(const std::string& path);

// Runs quillfence with arguments (shell words) and input on its standard input, and collects its
// exit code and both outputs.
CliRun run_cli(const std::string& arguments, const std::string& environment = "", const std::string& input = "");

// The access log of the current machine root: kind and text of each entry, oldest first.
std::vector<std::string> log_lines();

extern const char kPassword[];  // "parent-pw"

// A machine root with the Control Center password kPassword set.
class QuillfenceCli : public ::testing::Test {
public:
    void SetUp() override;
    std::string root_option() const { return "--root '" + root_.path() + "'"; }
    // enable or disable with the password given on standard input.
    CliRun switch_cli(const std::string& command) const;
    // A command that changes something: its first word, the password option and the root, then
    // the rest of arguments; the password on standard input.
    CliRun change(const std::string& arguments) const;

    qf_test::TempMachineRoot root_;
};

}  // namespace cli_test
