/* The traffic filter of vtlsp: the process-wide policy and the hooks that the provider's entry
 * points call. Nonzero verdicts mean "go on", 0 means "refuse".
 *
 * The policy is loaded once per process, by the first connect, datagram or close hook, and is
 * read-only afterwards. Plain sends and receives pass unchanged until it is loaded. */
#ifndef VTLSP_FILTER_H
#define VTLSP_FILTER_H

#include <winsock2.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The process-wide start-up lock: guards the one-time policy load here and the provider's own
 * start-up, clean-up and lazy creations. Created when the library is loaded, deleted when it is
 * unloaded. */
LPCRITICAL_SECTION vtlsp_startup_lock(void);

/* Loads the policy at most once; safe from any thread at any time. */
void filter_load_policy(void);

/* Connection gate, called in this order for a connect with a target, stopping at the first 0
 * (the connect then fails with WSAECONNREFUSED). The target is an AF_INET socket address; an
 * AF_INET6 target must be a whole sockaddr_in6 (only its port and address are read). */
int filter_check_connect(SOCKET socket, const struct sockaddr* target);
int filter_check_time(void);
int filter_register_socket(SOCKET socket, const struct sockaddr* target);
/* After every close. */
void filter_forget_socket(SOCKET socket);

/* A DNS query about to be sent: spoiled in place (same length) when it asks for a forbidden
 * name. */
void filter_check_site_query(char* message, DWORD length);
/* A DNS answer just received: its addresses are recorded with the name's list status. */
void filter_record_site_answer(const char* message, DWORD length);

/* Datagrams: data and length are the first buffer of the call; for a receive, length is the
 * number of bytes received. The destination may be null (a send on a connected socket); the
 * source is not used. The datagram always goes on (possibly rewritten). */
void filter_inspect_sendto(SOCKET socket, char* data, DWORD length, const struct sockaddr* destination);
void filter_inspect_recvfrom(SOCKET socket, char* data, DWORD length, const struct sockaddr* source);

/* Stream data. For a send, data and length are the first buffer to be sent; for a receive, the
 * first buffer and the number of bytes received in this call. The data may be blanked or cleaned
 * in place; its length never changes. 0 = fail the call with WSAESHUTDOWN. */
int filter_inspect_send(SOCKET socket, char* data, DWORD length);
int filter_inspect_recv(SOCKET socket, char* data, DWORD length);

#ifdef __cplusplus
}
#endif

#endif
