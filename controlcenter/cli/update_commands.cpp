#include "update_commands.h"

#include "terminal_window.h"

#include <filter_update.h>

int UpdateCommand() {
    TerminalWindow window;
    FilterUpdate update(window);
    update.UpdateFilter();
    return window.FilterUpdateMarked() ? 0 : 1;
}
