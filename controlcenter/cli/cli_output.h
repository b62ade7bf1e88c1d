// How the admin command line reports: results on standard output, failures on standard error
// after "quillfence: ".
#pragma once

#include <string>

// Writes message and the usage line as a usage error; answers the exit code 2.
int UsageError(const std::string& message);

// Writes message as the command's failure; answers the exit code 1.
int Failure(const std::string& message);

// Writes a message of the Control Center's dialogs (its text as the dialog shows it, without its
// trailing line ends) as the command's failure; answers 1.
int DialogRefusal(const std::string& text);
