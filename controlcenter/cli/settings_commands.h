// The settings commands: filter topics, protocol blocking and the two rating systems, shown and
// changed as their dialogs show and change them. Each takes its own arguments; a change needs the
// Control Center password.
#pragma once

#include <string>
#include <vector>

extern const char kTopicsHelp[];
extern const char kProtocolsHelp[];
extern const char kRsaciHelp[];
extern const char kSafeSurfHelp[];

int TopicsCommand(const std::vector<std::string>& arguments, bool passwordStdin);
int ProtocolsCommand(const std::vector<std::string>& arguments, bool passwordStdin);
int RsaciCommand(const std::vector<std::string>& arguments, bool passwordStdin);
int SafeSurfCommand(const std::vector<std::string>& arguments, bool passwordStdin);
