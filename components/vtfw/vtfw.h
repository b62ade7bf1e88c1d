/* VTFw: the stored protocol blocking rules.
 *
 * Factory settings: seven rules in this order, none blocked:
 *   80 "World Wide Web (HTTP)", 25 "Electronic mail (e-mail)", 119 "News (NNTP)",
 *   6667 "Chat (IRC)", 21 "File transfer (FTP)", 23 "Telnet", 443 "Secure sockets (SSL)".
 * Results: 1 = success; read answers 0 when the stored settings are missing or damaged. */
#ifndef VTFW_H
#define VTFW_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PROTOCOL_RULE_CAPACITY 20
#define PROTOCOL_NAME_SIZE 30

typedef struct ProtocolRule {
    INT port;                       /* TCP port that identifies the protocol */
    CHAR name[PROTOCOL_NAME_SIZE];  /* zero-terminated, at most 29 characters */
    BYTE reserved[2];
    INT blocked;                    /* 1 = connections on this port are blocked */
} ProtocolRule;

typedef struct ProtocolRuleTable {
    INT count; /* rules in use, at most 20 */
    ProtocolRule rules[PROTOCOL_RULE_CAPACITY];
} ProtocolRuleTable;

int vtfw_init(ProtocolRuleTable* record);
int vtfw_read(ProtocolRuleTable* record);
int vtfw_write(ProtocolRuleTable* record);
int vtfw_regen(ProtocolRuleTable* record);

#ifdef __cplusplus
}
static_assert(sizeof(ProtocolRule) == 40, "ProtocolRule is 40 bytes");
static_assert(sizeof(ProtocolRuleTable) == 804, "ProtocolRuleTable is 804 bytes");
#endif

#endif
