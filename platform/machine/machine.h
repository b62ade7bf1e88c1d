// Creating and completing a machine root, and showing the policy a filter would load from it.
#pragma once

#include <ostream>
#include <string>

namespace qf {

// Creates root (or completes an existing one) the way a Windows setup leaves a machine: the
// folders of drive C:, the Windows version values, DBDIR and the installed folders, the factory
// topic word dictionary, the topic list, the four settings stores, the Winsock catalog and the
// name server. Never overwrites what is there: existing files and registry values stay. Points
// this process at root (QUILLFENCE_ROOT).
// False, with a sentence in error, when root is not a directory or a step fails.
bool machine_init(const std::string& root, std::string& error);

// Registers viewer (a Linux program, the built quillfence-log-viewer) as the log viewer that View
// Log starts: the default value of kLogViewerAppPathKey (HKEY_LOCAL_MACHINE), where Windows names
// WordPad, becomes DBDIR "bin\quillfence-log-viewer", a link to viewer made on drive C: unless a
// file is there already. A value that is there already is kept. registered: the value in force.
// False, with a sentence in error, when viewer cannot be run or the link or value cannot be made.
extern const char kLogViewerAppPathKey[];  // "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\WORDPAD.EXE"
bool machine_register_log_viewer(const std::string& viewer, std::string& registered, std::string& error);

// Sets the machine's name server (the registry value NameServer under
// SYSTEM\CurrentControlSet\Services\Tcpip\Parameters, seeded by machine_init from the first IPv4
// "nameserver" of /etc/resolv.conf) on the current machine root, replacing what is there: an IPv4
// address with an optional ":PORT". False, with a sentence in error, when server is not one or
// the value cannot be written.
bool machine_set_name_server(const std::string& server, std::string& error);

// The demonstration's policy on the current machine root: kDemoDisallowedSite on the disallow
// list (kept when it is there already), RSACi filtering on with level kDemoRsacLevel the highest
// allowed in each category. False, with a sentence in error, when the list cannot be
// written.
extern const char kDemoDisallowedSite[];  // "blocked.quillfence.test"
extern const int kDemoRsacLevel;          // 2
bool machine_add_demo_policy(std::string& error);

// Writes the policy a filter loads from the current machine root: the lists as termscan_init
// fills them, the topics and their selection, the protocol rules, the rating limits and the
// weekly schedule. A store that cannot be read is regenerated, as the filter does.
void machine_print_policy(std::ostream& out);

}  // namespace qf
