// The 30 entry points of the procedure table, in WSPPROC_TABLE order, and the two extension
// function replacements handed out through WSPIoctl.
#ifndef VTLSP_SPI_ENTRIES_H
#define VTLSP_SPI_ENTRIES_H

#include <mswsock.h>
#include <ws2spi.h>

#include <qfportable.h>

class LowerProvider;

SOCKET WSPAPI WSPAccept(SOCKET s, struct sockaddr* addr, LPINT addrlen, LPCONDITIONPROC lpfnCondition,
                        DWORD_PTR dwCallbackData, LPINT lpErrno);
INT WSPAPI WSPAddressToString(LPSOCKADDR lpsaAddress, DWORD dwAddressLength, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                              LPWSTR lpszAddressString, LPDWORD lpdwAddressStringLength, LPINT lpErrno);
int WSPAPI WSPAsyncSelect(SOCKET s, HWND hWnd, unsigned int wMsg, LONG lEvent, LPINT lpErrno);
int WSPAPI WSPBind(SOCKET s, const struct sockaddr* name, int namelen, LPINT lpErrno);
int WSPAPI WSPCancelBlockingCall(LPINT lpErrno);
int WSPAPI WSPCleanup(LPINT lpErrno);
int WSPAPI WSPCloseSocket(SOCKET s, LPINT lpErrno);
int WSPAPI WSPConnect(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData,
                      LPWSABUF lpCalleeData, LPQOS lpSQOS, LPQOS lpGQOS, LPINT lpErrno);
int WSPAPI WSPDuplicateSocket(SOCKET s, DWORD dwProcessId, LPWSAPROTOCOL_INFOW lpProtocolInfo, LPINT lpErrno);
int WSPAPI WSPEnumNetworkEvents(SOCKET s, WSAEVENT hEventObject, LPWSANETWORKEVENTS lpNetworkEvents, LPINT lpErrno);
int WSPAPI WSPEventSelect(SOCKET s, WSAEVENT hEventObject, LONG lNetworkEvents, LPINT lpErrno);
BOOL WSPAPI WSPGetOverlappedResult(SOCKET s, LPWSAOVERLAPPED lpOverlapped, LPDWORD lpcbTransfer, BOOL fWait,
                                   LPDWORD lpdwFlags, LPINT lpErrno);
int WSPAPI WSPGetPeerName(SOCKET s, struct sockaddr* name, LPINT namelen, LPINT lpErrno);
int WSPAPI WSPGetSockName(SOCKET s, struct sockaddr* name, LPINT namelen, LPINT lpErrno);
int WSPAPI WSPGetSockOpt(SOCKET s, int level, int optname, char* optval, LPINT optlen, LPINT lpErrno);
BOOL WSPAPI WSPGetQOSByName(SOCKET s, LPWSABUF lpQOSName, LPQOS lpQOS, LPINT lpErrno);
int WSPAPI WSPIoctl(SOCKET s, DWORD dwIoControlCode, LPVOID lpvInBuffer, DWORD cbInBuffer, LPVOID lpvOutBuffer,
                    DWORD cbOutBuffer, LPDWORD lpcbBytesReturned, LPWSAOVERLAPPED lpOverlapped,
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId, LPINT lpErrno);
SOCKET WSPAPI WSPJoinLeaf(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData,
                          LPWSABUF lpCalleeData, LPQOS lpSQOS, LPQOS lpGQOS, DWORD dwFlags, LPINT lpErrno);
int WSPAPI WSPListen(SOCKET s, int backlog, LPINT lpErrno);
int WSPAPI WSPRecv(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd, LPDWORD lpFlags,
                   LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine,
                   LPWSATHREADID lpThreadId, LPINT lpErrno);
int WSPAPI WSPRecvDisconnect(SOCKET s, LPWSABUF lpInboundDisconnectData, LPINT lpErrno);
int WSPAPI WSPRecvFrom(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd,
                       LPDWORD lpFlags, struct sockaddr* lpFrom, LPINT lpFromlen, LPWSAOVERLAPPED lpOverlapped,
                       LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId,
                       LPINT lpErrno);
int WSPAPI WSPSelect(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, QF_WSPSELECT_TIMEOUT_CONST struct timeval* timeout,
                     LPINT lpErrno);
int WSPAPI WSPSend(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
                   LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine,
                   LPWSATHREADID lpThreadId, LPINT lpErrno);
int WSPAPI WSPSendDisconnect(SOCKET s, LPWSABUF lpOutboundDisconnectData, LPINT lpErrno);
int WSPAPI WSPSendTo(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
                     const struct sockaddr* lpTo, int iTolen, LPWSAOVERLAPPED lpOverlapped,
                     LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId,
                     LPINT lpErrno);
int WSPAPI WSPSetSockOpt(SOCKET s, int level, int optname, const char* optval, int optlen, LPINT lpErrno);
int WSPAPI WSPShutdown(SOCKET s, int how, LPINT lpErrno);
SOCKET WSPAPI WSPSocket(int af, int type, int protocol, LPWSAPROTOCOL_INFOW lpProtocolInfo, GROUP g, DWORD dwFlags,
                        LPINT lpErrno);
INT WSPAPI WSPStringToAddress(LPWSTR AddressString, INT AddressFamily, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                              LPSOCKADDR lpAddress, LPINT lpAddressLength, LPINT lpErrno);

BOOL PASCAL VtlspAcceptEx(SOCKET sListenSocket, SOCKET sAcceptSocket, PVOID lpOutputBuffer, DWORD dwReceiveDataLength,
                          DWORD dwLocalAddressLength, DWORD dwRemoteAddressLength, LPDWORD lpdwBytesReceived,
                          LPOVERLAPPED lpOverlapped);
BOOL PASCAL VtlspTransmitFile(SOCKET hSocket, HANDLE hFile, DWORD nNumberOfBytesToWrite, DWORD nNumberOfBytesPerSend,
                              LPOVERLAPPED lpOverlapped, LPTRANSMIT_FILE_BUFFERS lpTransmitBuffers, DWORD dwReserved);

// SIO_GET_EXTENSION_FUNCTION_POINTER answered by the next provider: the identifier in input, the
// pointer in output. Remembers and replaces AcceptEx and TransmitFile; 0 or WSAEOPNOTSUPP.
int spi_intercept_extension(LowerProvider* provider, const void* input, DWORD inputLength, void* output,
                            DWORD outputLength);

#endif
