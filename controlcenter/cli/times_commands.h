// quillfence times: the weekly access schedule, shown and changed with the time manager's rules.
#pragma once

#include <string>
#include <vector>

extern const char kTimesHelp[];

int TimesCommand(const std::vector<std::string>& arguments, bool passwordStdin);
