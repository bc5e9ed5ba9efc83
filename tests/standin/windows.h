// The subset of the Win32 API that the plug-in uses, for the native build.
// Declarations only; standin.cpp implements them over a scripted world that
// the tests set up and inspect (standin.h).
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef int BOOL;
typedef unsigned char BYTE;
typedef BYTE *LPBYTE;
typedef uint32_t DWORD;
typedef DWORD *LPDWORD;
typedef unsigned int UINT;
typedef unsigned short WORD;
typedef int32_t LONG;
typedef intptr_t LONG_PTR;
typedef intptr_t INT_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef const char *LPCSTR;
typedef char *LPSTR;

struct HWND__;
typedef HWND__ *HWND;
struct HINSTANCE__;
typedef HINSTANCE__ *HINSTANCE;
typedef HINSTANCE HMODULE;
struct HSZ__;
typedef HSZ__ *HSZ;
struct HCONV__;
typedef HCONV__ *HCONV;
struct HDDEDATA__;
typedef HDDEDATA__ *HDDEDATA;
struct CONVCONTEXT;
typedef CONVCONTEXT *PCONVCONTEXT;

#define WINAPI
#define CALLBACK

typedef LRESULT(CALLBACK *WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK *DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef HDDEDATA(CALLBACK *PFNCALLBACK)(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR,
                                        ULONG_PTR);

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_USER 0x0400
#define GWLP_WNDPROC (-4)
#define IDOK 1
#define IDCANCEL 2
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define BN_CLICKED 0

#define CP_WINANSI 1004
#define APPCMD_CLIENTONLY 0x00000010
#define CBF_SKIP_ALLNOTIFICATIONS 0x003C0000
#define CF_TEXT 1
#define XTYP_POKE 0x4090
#define TIMEOUT_ASYNC 0xFFFFFFFF

#define LOWORD(w) ((WORD)((ULONG_PTR)(w)&0xffff))
#define HIWORD(w) ((WORD)(((ULONG_PTR)(w) >> 16) & 0xffff))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)(((DWORD)(WORD)(l)) | (((DWORD)(WORD)(h)) << 16)))
#define MAKEINTRESOURCEA(i) ((LPSTR)(ULONG_PTR)((WORD)(i)))

// Modules
DWORD GetModuleFileNameA(HMODULE module, LPSTR name, DWORD size);
HMODULE LoadLibraryA(LPCSTR name);

// Windows and messages
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Dialogs
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);

// Initialization files
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR value, DWORD size,
                               LPCSTR file);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int fallback, LPCSTR file);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);

// DDE Management Library
UINT DdeInitializeA(LPDWORD instance, PFNCALLBACK callback, DWORD command, DWORD reserved);
HSZ DdeCreateStringHandleA(DWORD instance, LPCSTR text, int codePage);
BOOL DdeFreeStringHandle(DWORD instance, HSZ handle);
HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT context);
HDDEDATA DdeClientTransaction(LPBYTE data, DWORD length, HCONV conversation, HSZ item, UINT format,
                              UINT type, DWORD timeout, LPDWORD result);
BOOL DdeDisconnect(HCONV conversation);
BOOL DdeUninitialize(DWORD instance);
