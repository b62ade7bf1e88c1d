// quillfence update: the Control Center's filter update, run on the terminal.
#pragma once

// Downloads and installs the filter update as Update Filter does; 0 when it completed, else 1.
int UpdateCommand();
