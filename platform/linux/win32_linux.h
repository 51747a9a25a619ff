// Declarations of the Windows API subset that our Linux platform layer implements:
// exactly the functions, types and constants the launcher and the framework call.
// The behaviour of each call follows Windows; see the implementation files, one per area.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <arpa/inet.h>  // htonl, ntohl: the same byte-order helpers Windows Sockets has
#include <netdb.h>      // struct hostent, filled by our gethostbyname
#include <sys/ioctl.h>  // FIONBIO
#include <sys/select.h>  // fd_set, FD_SET, struct timeval: the same names as Windows Sockets
#include <sys/socket.h>

// ---- Basic types -------------------------------------------------------------------
typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned char UCHAR;
typedef unsigned char* PUCHAR;
typedef unsigned short WORD;
typedef unsigned short USHORT;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef uint32_t UINT32;
typedef uint32_t ULONG;
typedef int32_t LONG;
typedef int INT;
typedef char CHAR;
typedef uint16_t ATOM;
typedef uintptr_t UINT_PTR;
typedef uintptr_t ULONG_PTR;
typedef intptr_t LONG_PTR;
typedef size_t SIZE_T;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef void* HANDLE;
typedef void* HGLOBAL;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HWND__* HWND;
typedef struct HMENU__* HMENU;
typedef struct HACCEL__* HACCEL;
typedef intptr_t (*FARPROC)(void);

#define WINAPI
#define CALLBACK
#define APIENTRY
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INFINITE 0xFFFFFFFFu
#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | (((WORD)((BYTE)(high))) << 8)))
#define LOBYTE(w) ((BYTE)((w) & 0xff))
#define HIBYTE(w) ((BYTE)(((w) >> 8) & 0xff))

// ---- Errors (GetLastError) ---------------------------------------------------------
#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_BAD_FORMAT 11u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_MOD_NOT_FOUND 126u
#define ERROR_PROC_NOT_FOUND 127u
#define ERROR_ALREADY_EXISTS 183u
#define ERROR_FILE_TOO_LARGE 223u
#define ERROR_NO_UNICODE_TRANSLATION 1113u
#define ERROR_INVALID_NETNAME 1214u  // IcmpSendEcho: a destination no echo can go to  // a name the ANSI code page (GBK) cannot hold
#define ERROR_INVALID_WINDOW_HANDLE 1400u
#define ERROR_INVALID_THREAD_ID 1444u

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

extern "C" {

DWORD GetLastError(void);
void SetLastError(DWORD code);

// ---- Profile (INI) files: platform/linux/profile.cpp -------------------------------
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                               LPSTR out, DWORD size, LPCSTR fileName);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);

// ---- Modules: platform/linux/module.cpp --------------------------------------------
HMODULE GetModuleHandleA(LPCSTR name);
DWORD GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size);
HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

// ---- Debugger output, memory, files and directories --------------------------------
void OutputDebugStringA(LPCSTR text);  // standard error on Linux

#define GMEM_FIXED 0x0000u
#define GMEM_ZEROINIT 0x0040u
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL GlobalFree(HGLOBAL memory);  // null on success, as on Windows

#define MOVEFILE_REPLACE_EXISTING 0x1u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define FILE_ATTRIBUTE_DIRECTORY 0x10u
#define FILE_ATTRIBUTE_NORMAL 0x80u
BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);  // rename(2): atomic replace
BOOL DeleteFileA(LPCSTR path);
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
DWORD GetFileAttributesA(LPCSTR path);

BOOL SetCurrentDirectoryA(LPCSTR path);
DWORD GetCurrentDirectoryA(DWORD size, LPSTR out);  // Windows form, backslashes

// ---- ANSI code page (GBK, code page 936) helpers: platform/linux/gbk.cpp -----------
BOOL IsDBCSLeadByte(BYTE c);
LPSTR CharNextA(LPCSTR p);
LPSTR CharPrevA(LPCSTR start, LPCSTR p);
unsigned char* _mbschr(const unsigned char* text, unsigned int c);
unsigned char* _mbsrchr(const unsigned char* text, unsigned int c);
unsigned char* _mbsstr(const unsigned char* text, const unsigned char* needle);

// ---- Wide (UTF-16) text: platform/linux/wide_text.cpp -------------------------------
typedef char16_t WCHAR;
#define CP_ACP 0u
#define CP_UTF8 65001u
#define WC_NO_BEST_FIT_CHARS 0x400u
#define MB_ERR_INVALID_CHARS 0x8u
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, WCHAR* out,
                        int outSize);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* text, int length, LPSTR out,
                        int outSize, LPCSTR defaultChar, BOOL* usedDefault);

// ---- Threads and time: platform/linux/thread.cpp -----------------------------------
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID parameter);
#define CREATE_SUSPENDED 0x4u
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu

HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    LPDWORD threadId);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
BOOL CloseHandle(HANDLE handle);
void Sleep(DWORD milliseconds);
DWORD GetTickCount(void);
DWORD GetCurrentThreadId(void);
DWORD GetCurrentProcessId(void);

// ---- Windows and the message loop: platform/linux/message.cpp, window.cpp ----------
typedef struct tagPOINT {
  LONG x;
  LONG y;
} POINT;
typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG, *LPMSG;
typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef struct tagWNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HANDLE hIcon;
  HANDLE hCursor;
  HANDLE hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
} WNDCLASSA;
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
} CREATESTRUCTA;

#define WM_NULL 0x0000u
#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_CLOSE 0x0010u
#define WM_QUIT 0x0012u
#define WM_TIMER 0x0113u
#define WM_USER 0x0400u
#define WM_APP 0x8000u
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define GWLP_USERDATA (-21)
#define HWND_MESSAGE ((HWND)(intptr_t)-3)

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
int TranslateAcceleratorA(HWND window, HACCEL table, LPMSG msg);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
void PostQuitMessage(int exitCode);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Windows without a display of their own: message-only windows and the handles that a
// window backend gives its on-screen windows. Messages reach their window procedure
// through DispatchMessageA on the thread that created them.
ATOM RegisterClassA(const WNDCLASSA* windowClass);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, LPVOID parameter);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);

// ---- Message box: platform/linux/message_box.cpp ----------------------------------
#define MB_OK 0x00000000u
#define MB_ICONERROR 0x00000010u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1
// Caption and text go to standard error (in UTF-8); where a display is there, SDL's
// simple message box shows them too. Blocks until it is closed; returns IDOK.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int MessageBoxW(HWND owner, const WCHAR* text, const WCHAR* caption, UINT type);

// ---- Starting programs: platform/linux/process.cpp ---------------------------------
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, INT showCommand);

// ---- Windows Sockets 1.1 subset: platform/linux/winsock.cpp ------------------------
#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128
typedef struct WSAData {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
} WSADATA, *LPWSADATA;
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
int WSAStartup(WORD version, LPWSADATA data);
int WSACleanup(void);
// The empty name resolves to the local host, as Windows Sockets does; IPv4 only. The
// entry lives in storage of the calling thread until its next call.
struct hostent* ZentGetHostByName(const char* name);
#define gethostbyname ZentGetHostByName

// Stream sockets as Windows Sockets has them: handles that closesocket ends, errors from
// WSAGetLastError with Windows codes, and select that ignores its first argument.
typedef int SOCKET;
#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAECONNREFUSED 10061
#define WSAETIMEDOUT 10060
int closesocket(SOCKET socket);
// FIONBIO only: a nonzero *argument makes the socket non-blocking.
int ioctlsocket(SOCKET socket, long command, unsigned long* argument);
int WSAGetLastError(void);
int ZentSelect(int ignored, fd_set* readable, fd_set* writable, fd_set* failed,
               const struct timeval* timeout);
#define select ZentSelect
int ZentGetSockOpt(SOCKET socket, int level, int name, char* value, int* length);

// ---- ICMP echo, the built-in module "ICMP.DLL": platform/linux/icmp.cpp ------------
typedef uint32_t IPAddr;
typedef struct ip_option_information {
  UCHAR Ttl;
  UCHAR Tos;
  UCHAR Flags;
  UCHAR OptionsSize;
  PUCHAR OptionsData;
} IP_OPTION_INFORMATION, *PIP_OPTION_INFORMATION;
typedef struct icmp_echo_reply {
  IPAddr Address;
  ULONG Status;
  ULONG RoundTripTime;
  USHORT DataSize;
  USHORT Reserved;
  PVOID Data;
  IP_OPTION_INFORMATION Options;
} ICMP_ECHO_REPLY, *PICMP_ECHO_REPLY;
#define IP_SUCCESS 0u
#define IP_BUF_TOO_SMALL 11001u
#define IP_DEST_HOST_UNREACHABLE 11003u
#define IP_REQ_TIMED_OUT 11010u
#define IP_GENERAL_FAILURE 11050u
HANDLE IcmpCreateFile(void);
BOOL IcmpCloseHandle(HANDLE handle);
DWORD IcmpSendEcho(HANDLE handle, IPAddr destination, LPVOID requestData, WORD requestSize,
                   PIP_OPTION_INFORMATION options, LPVOID replyBuffer, DWORD replySize,
                   DWORD timeout);

}  // extern "C"

// getsockopt and getsockname with the Windows types (an int length); the system's own
// stay callable.
inline int getsockopt(SOCKET socket, int level, int name, char* value, int* length) {
  return ZentGetSockOpt(socket, level, name, value, length);
}
inline int getsockname(SOCKET socket, struct sockaddr* address, int* length) {
  if (!length || *length < 0) return SOCKET_ERROR;
  socklen_t size = static_cast<socklen_t>(*length);
  const int rc = ::getsockname(socket, address, &size);
  if (rc == 0) *length = static_cast<int>(size);
  return rc;
}

// ---- GDI+ start-up: nothing to start on Linux --------------------------------------
namespace Gdiplus {
enum Status { Ok = 0 };
typedef void(WINAPI* DebugEventProc)(int level, char* message);
struct GdiplusStartupInput {
  UINT32 GdiplusVersion;
  DebugEventProc DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
  GdiplusStartupInput(DebugEventProc callback = nullptr, BOOL suppressThread = FALSE,
                      BOOL suppressCodecs = FALSE)
      : GdiplusVersion(1), DebugEventCallback(callback),
        SuppressBackgroundThread(suppressThread), SuppressExternalCodecs(suppressCodecs) {}
};
struct GdiplusStartupOutput;
inline Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput*, GdiplusStartupOutput*) {
  if (token) *token = 0;
  return Ok;
}
inline void GdiplusShutdown(ULONG_PTR) {}
}  // namespace Gdiplus

// ---- The program entry ---------------------------------------------------------------
// platform/linux/entry.cpp supplies main(): it rebuilds the Windows command line from
// argv (quoting as Windows programs expect) and calls the program's WinMain.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
