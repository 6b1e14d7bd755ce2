#pragma once
// The application object and the entry point's protocol. The one CWinApp object is static; the
// framework's WinMain finds it, calls InitInstance, and runs the message loop only when
// InitInstance returns non-zero (a loop that ends at once while no main window is set).
#include "framework/Wnd.h"

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual int Run();
    void OnHelp() {}

    LPCSTR m_pszAppName;  // taken from the executable's file name when none is given
    HINSTANCE m_hInstance;
    LPSTR m_lpCmdLine;
    int m_nCmdShow;
    CWnd* m_pMainWnd;

    DECLARE_MESSAGE_MAP()

private:
    CString m_strAppName;
    friend int AfxWinMain(HINSTANCE, HINSTANCE, LPSTR, int);
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
LPCSTR AfxGetAppName();

// A message box owned by the main window, with the application's name as its caption.
int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT stringId, UINT type = MB_OK, UINT helpId = 0);

// Windows Sockets 1.1 start-up; the framework cleans up at exit.
BOOL AfxSocketInit(WSADATA* data = nullptr);
// Control containment: no dialog of this program holds an ActiveX control, so nothing to set up.
void AfxEnableControlContainer();

// Translates and dispatches one message, giving PreTranslateMessage a chance first, from the
// target window up through its parents to stopAt (or the top).
void AfxPumpMessage(MSG& msg, HWND stopAt);

int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int cmdShow);

// The base name of a path without its extension; double-byte aware.
CString AfxAppNameFromPath(const char* path);
