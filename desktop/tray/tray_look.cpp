#include "tray_look.h"

const StateLook& tray_look_of(int filterState) {
    static const StateLook on = {"Quillfence: filtering on", "security-high", "Internet access is filtered."};
    static const StateLook off = {"Quillfence: filtering off", "security-low", "Internet access is not filtered."};
    static const StateLook unknown = {"Quillfence: filtering state unknown", "dialog-question",
                                      "The filtering state cannot be read."};
    return filterState == 1 ? on : filterState == 0 ? off : unknown;
}
