// Reading a password for the admin command line: asked on the terminal without echo, or read as
// one line of standard input (--password-stdin).
#pragma once

#include <string>

// Reads one password into out. False, with a sentence in error, when there is no terminal to ask
// on (and no --password-stdin), standard input ends first, or the text is longer than a password
// field takes.
bool ReadPassword(bool fromStdin, const char* prompt, std::string& out, std::string& error);
