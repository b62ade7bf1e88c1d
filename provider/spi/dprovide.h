// LowerProvider: the next provider of one protocol chain, its library loaded and started, with
// its procedure table and the extension functions it handed out.
#ifndef VTLSP_DPROVIDE_H
#define VTLSP_DPROVIDE_H

#include <mswsock.h>
#include <ws2spi.h>

class LowerProvider {
public:
    LowerProvider();
    // Cleans the next provider up (once for its successful start-up) and unloads its library.
    ~LowerProvider();

    // Loads the library at path (environment variables expanded) and starts it with info and the
    // process's upcall table; 0 or a Winsock error.
    int Initialize(const WCHAR* path, LPWSAPROTOCOL_INFOW info);

    const WSPPROC_TABLE& Procs() const { return *m_proctable; }
    SOCKET WSPSocket(int af, int type, int protocol, LPWSAPROTOCOL_INFOW lpProtocolInfo, GROUP g, DWORD dwFlags,
                     LPINT lpErrno);

    // Remembered by the extension-function interception; null until then.
    LPFN_TRANSMITFILE m_TransmitFile;
    LPFN_ACCEPTEX m_AcceptEx;

private:
    void Cleanup();

    WSPPROC_TABLE* m_proctable;
    HMODULE m_library;
    char* m_libraryName;
    bool m_started;  // its WSPStartup succeeded and its WSPCleanup has not been called
};

#endif
