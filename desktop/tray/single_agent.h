// One tray agent per desktop session: the agent owns a well-known name on the session bus. The bus
// gives the name up when its owner's connection ends, so an agent that crashed never blocks the
// next one.
#pragma once

#include <gio/gio.h>

#include <string>

#define TRAY_AGENT_BUS_NAME "org.quillfence.TrayAgent"

enum class AgentClaim { Claimed, AlreadyRuns, Failed };

// Asks the bus for the name without queueing for it. Failed comes with a sentence in error.
AgentClaim ClaimSessionAgent(GDBusConnection* bus, std::string& error);
