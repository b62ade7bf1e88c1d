#include "cli_test_support.h"

#include <machine.h>
#include <password_store.h>

#include <vtlogger.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace cli_test {

const char kPassword[] = "parent-pw";

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

CliRun run_cli(const std::string& arguments, const std::string& environment, const std::string& input) {
    namespace fs = std::filesystem;
    static int runs = 0;
    const fs::path dir = fs::temp_directory_path() / ("qf-cli-run-" + std::to_string(GetCurrentProcessId()) + "-" +
                                                      std::to_string(++runs));
    fs::create_directories(dir);
    const std::string out = (dir / "out").string();
    const std::string err = (dir / "err").string();
    const std::string code = (dir / "code").string();
    const std::string in = (dir / "in").string();
    std::ofstream(in, std::ios::binary) << input;
    const std::string command = environment + " '" + std::string(QUILLFENCE_CLI) + "' " + arguments + " >'" + out +
                                "' 2>'" + err + "' <'" + in + "'; echo $? >'" + code + "'";
    CliRun run;
    if (std::system(command.c_str()) == 0) {
        run.exitCode = std::atoi(read_file(code).c_str());
        run.out = read_file(out);
        run.err = read_file(err);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return run;
}

std::vector<std::string> log_lines() {
    std::vector<std::string> lines;
    VTLogEntry entries[32];
    int count = VTLogger_ReadEntries(0, entries, 32);
    for (int i = 0; i < count; ++i) lines.push_back(std::string(entries[i].kind) + " " + entries[i].text);
    return lines;
}

void QuillfenceCli::SetUp() {
    std::string error;
    ASSERT_TRUE(qf::machine_init(root_.path(), error)) << error;
    ASSERT_EQ(PWS_WRITTEN, StorePassword(kPassword));
}

CliRun QuillfenceCli::switch_cli(const std::string& command) const {
    return run_cli(command + " --password-stdin " + root_option(), "", std::string(kPassword) + "\n");
}

CliRun QuillfenceCli::change(const std::string& arguments) const {
    const size_t space = arguments.find(' ');
    const std::string rest = space == std::string::npos ? "" : arguments.substr(space);
    return run_cli(arguments.substr(0, space) + " --password-stdin " + root_option() + rest, "",
                   std::string(kPassword) + "\n");
}

}  // namespace cli_test
