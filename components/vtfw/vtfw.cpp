// VTFw: the protocol blocking rules in DBDIR "db\fw.dat", a checked record file.
#include "vtfw.h"

#include <string.h>

#include "recfile.h"

namespace {

const char kFile[] = "db\\fw.dat";
const char kTag[4] = {'P', 'R', 'F', 'W'};

struct FactoryRule {
    INT port;
    const char* name;
};

const FactoryRule kFactoryRules[] = {
    {80, "World Wide Web (HTTP)"}, {25, "Electronic mail (e-mail)"}, {119, "News (NNTP)"}, {6667, "Chat (IRC)"},
    {21, "File transfer (FTP)"},   {23, "Telnet"},                   {443, "Secure sockets (SSL)"},
};

bool name_terminated(const ProtocolRule& rule) { return memchr(rule.name, '\0', sizeof(rule.name)) != NULL; }

// Every name must end inside its field, so no reader runs past it; the rules in use must carry
// a real port and a blocked flag of 0 or 1.
bool valid(const ProtocolRuleTable& table) {
    if (table.count < 0 || table.count > PROTOCOL_RULE_CAPACITY) return false;
    for (int i = 0; i < PROTOCOL_RULE_CAPACITY; ++i) {
        const ProtocolRule& rule = table.rules[i];
        if (!name_terminated(rule)) return false;
        if (i < table.count && (rule.port < 0 || rule.port > 65535 || (rule.blocked != 0 && rule.blocked != 1)))
            return false;
    }
    return true;
}

}  // namespace

extern "C" {

int vtfw_init(ProtocolRuleTable* record) {
    if (!record) return 0;
    memset(record, 0, sizeof(*record));
    record->count = -1;
    for (ProtocolRule& rule : record->rules) rule.port = -1;
    return 1;
}

int vtfw_read(ProtocolRuleTable* record) {
    if (!record) return 0;
    ProtocolRuleTable stored;
    if (!recfile_read(kFile, kTag, &stored, sizeof(stored)) || !valid(stored)) return 0;
    *record = stored;
    return 1;
}

int vtfw_write(ProtocolRuleTable* record) {
    if (!record || !valid(*record)) return 0;
    ProtocolRuleTable stored = *record;
    for (ProtocolRule& rule : stored.rules) memset(rule.reserved, 0, sizeof(rule.reserved));
    return recfile_write(kFile, kTag, &stored, sizeof(stored));
}

int vtfw_regen(ProtocolRuleTable* record) {
    if (!record) return 0;
    vtfw_init(record);
    record->count = (INT)(sizeof(kFactoryRules) / sizeof(kFactoryRules[0]));
    for (int i = 0; i < record->count; ++i) {
        record->rules[i].port = kFactoryRules[i].port;
        strncpy(record->rules[i].name, kFactoryRules[i].name, PROTOCOL_NAME_SIZE - 1);
        record->rules[i].blocked = 0;
    }
    return vtfw_write(record);
}

}  // extern "C"
