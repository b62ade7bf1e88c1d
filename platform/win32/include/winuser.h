/* Windows and messages of the Win32 stand-in, for hidden windows: nothing is drawn or shown.
 * Each thread has its own message queue; a window belongs to the thread that created it, and its
 * procedure runs on that thread (DispatchMessageA, or SendMessageA from that thread). */
#ifndef QF_WINUSER_H
#define QF_WINUSER_H

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Window manager errors that winerror.h does not list yet. */
#ifndef ERROR_CANNOT_FIND_WND_CLASS
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#endif
#ifndef ERROR_WINDOW_OF_OTHER_THREAD
#define ERROR_WINDOW_OF_OTHER_THREAD 1408L
#endif
#ifndef ERROR_CLASS_HAS_WINDOWS
#define ERROR_CLASS_HAS_WINDOWS 1412L
#endif
#ifndef ERROR_INVALID_INDEX
#define ERROR_INVALID_INDEX 1413L
#endif

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *PPOINT, *LPPOINT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *PMSG, *LPMSG;

typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA, *PWNDCLASSA, *LPWNDCLASSA;

typedef struct tagCREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTA, *LPCREATESTRUCTA;

/* Messages */
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_TIMER 0x0113
#define WM_USER 0x0400
#define WM_APP 0x8000

/* PeekMessageA */
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

/* MessageBox: buttons, icons and the default button (MB_*), and the answers (ID*). */
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNO 0x00000004L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONMASK 0x000000F0L
#define MB_DEFMASK 0x00000F00L

/* Class styles */
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_GLOBALCLASS 0x4000

/* Window styles */
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define CW_USEDEFAULT ((int)0x80000000)
#define HWND_MESSAGE ((HWND)-3)

/* Window data indexes; a non-negative index addresses the window's extra bytes. */
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define GWLP_USERDATA (-21)
#define GWL_WNDPROC GWLP_WNDPROC
#define GWL_HINSTANCE GWLP_HINSTANCE
#define GWL_ID GWLP_ID
#define GWL_USERDATA GWLP_USERDATA

/* Resources: icons and cursors are placeholders (nothing is drawn). */
#ifndef MAKEINTRESOURCEA
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#endif
#ifndef MAKEINTRESOURCE
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#endif
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define WHITE_BRUSH 0
#define BLACK_BRUSH 4
typedef HANDLE HGDIOBJ;

/* Dialog windows, controls and message boxes. The constants and records below are the ones the
 * dialog framework stand-in (platform/dialogs) and the dialogs written on it use; the windows
 * themselves are made by that framework, not by the functions of this header. */
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_PAINT 0x000F
#define WM_QUERYDRAGICON 0x0037
#define WM_HELP 0x0053
#define WM_CONTEXTMENU 0x007B
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115

/* Dialog box command identifiers (MessageBox results). */
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDC_STATIC (-1)

/* MessageBox types: buttons, icon, default button. */
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONMASK 0x000000F0L
#define MB_DEFMASK 0x00000F00L

/* Control notifications (the high word of WM_COMMAND's wParam). */
#define BN_CLICKED 0
#define BN_DOUBLECLICKED 5
#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2
#define CBN_SELCHANGE 1
#define CBN_DBLCLK 2
#define CBN_DROPDOWN 7
#define CBN_CLOSEUP 8
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define LB_ERR (-1)
#define CB_ERR (-1)

/* Scroll codes (the low word of WM_HSCROLL's and WM_VSCROLL's wParam). */
#define SB_LINEUP 0
#define SB_LINELEFT 0
#define SB_LINEDOWN 1
#define SB_LINERIGHT 1
#define SB_PAGEUP 2
#define SB_PAGELEFT 2
#define SB_PAGEDOWN 3
#define SB_PAGERIGHT 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_BOTTOM 7
#define SB_ENDSCROLL 8
#define TB_THUMBPOSITION 4
#define TB_ENDTRACK 8

/* System menu. */
#define SC_CLOSE 0xF060
#define MF_STRING 0x00000000L
#define MF_SEPARATOR 0x00000800L

/* ShowWindow, SetIcon. */
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define ICON_SMALL 0
#define ICON_BIG 1

/* Help: WinHelp commands and the record of WM_HELP. */
#define HELP_CONTEXT 0x0001L
#define HELP_QUIT 0x0002L
#define HELP_INDEX 0x0003L
#define HELP_CONTENTS 0x0003L
#define HELP_FINDER 0x000BL
#define HELP_CONTEXTMENU 0x000AL
#define HELP_WM_HELP 0x000CL
#define HELPINFO_WINDOW 0x0001
#define HELPINFO_MENUITEM 0x0002

typedef struct tagHELPINFO {
    UINT cbSize;
    int iContextType;
    int iCtrlId;
    HANDLE hItemHandle;
    DWORD_PTR dwContextId;
    POINT MousePos;
} HELPINFO, *LPHELPINFO;

/* Standard cursors. */
#define IDC_WAIT MAKEINTRESOURCEA(32514)

/* Window classes: a class is named (without regard to case) within the module that registers it;
 * a second registration gives ERROR_CLASS_ALREADY_EXISTS. As on Windows, a module's classes stay
 * registered when it is unloaded, and are its classes again when it is loaded again (while it is
 * away, no window can be made of them: ERROR_CANNOT_FIND_WND_CLASS). */
ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass);
BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance);

/* Windows. CreateWindowExA sends WM_NCCREATE and WM_CREATE; DestroyWindow, only on the owning
 * thread, sends WM_DESTROY and WM_NCDESTROY and discards the window's queued messages. */
HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                            int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam);
BOOL WINAPI DestroyWindow(HWND hWnd);
BOOL WINAPI IsWindow(HWND hWnd);
DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);
LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
/* The extra bytes keep the 32-bit layout: a LONG_PTR fits at any index up to cbWndExtra - 4. */
LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex);
LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex);
LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong);

/* Messages. GetMessageA blocks; it returns 0 for WM_QUIT and -1 for a window that is not valid. */
BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
BOOL WINAPI TranslateMessage(const MSG* lpMsg);
LRESULT WINAPI DispatchMessageA(const MSG* lpMsg);
/* hWnd NULL posts to the calling thread's queue. */
BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int nExitCode);
/* Calls the window procedure directly when the window belongs to the calling thread; a window of
 * another thread is reached through its queue, and the caller waits for the result. */
LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

/* Placeholders for what a window class names; each returns a non-NULL handle. */
HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);
HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName);
HGDIOBJ WINAPI GetStockObject(int i);

#ifdef __cplusplus
}
#endif

#endif
