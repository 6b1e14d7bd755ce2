#include <winsock2.h>  // before windows.h

#include "framework/App.h"

#include "framework/Guard.h"
#include "framework/Mbcs.h"
#include "framework/ModalStack.h"

#include <commctrl.h>

namespace {

CWinApp* g_app = nullptr;
bool g_socketsStarted = false;

void CleanupSockets()
{
    if (g_socketsStarted) {
        ::WSACleanup();
        g_socketsStarted = false;
    }
}

}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR appName)
    : m_pszAppName(appName), m_hInstance(nullptr), m_lpCmdLine(nullptr), m_nCmdShow(SW_SHOWNORMAL), m_pMainWnd(nullptr)
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    CleanupSockets();
    return 0;
}

int CWinApp::Run()
{
    if (!m_pMainWnd || !::IsWindow(m_pMainWnd->m_hWnd))
        ::PostQuitMessage(0);
    MSG msg;
    for (;;) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        AfxPumpMessage(msg, nullptr);
        AfxPurgeTemporaryObjects();
    }
    ExitInstance();
    return static_cast<int>(msg.wParam);
}

CWinApp* AfxGetApp()
{
    return g_app;
}
CWnd* AfxGetMainWnd()
{
    return g_app ? g_app->m_pMainWnd : nullptr;
}
HINSTANCE AfxGetInstanceHandle()
{
    return g_app && g_app->m_hInstance ? g_app->m_hInstance : ::GetModuleHandleA(nullptr);
}

LPCSTR AfxGetAppName()
{
    return g_app && g_app->m_pszAppName ? g_app->m_pszAppName : "";
}

CString AfxAppNameFromPath(const char* path)
{
    const char* slash = MbcsReverseFindChar(path, '\\');
    CString name(slash ? slash + 1 : path);
    const int dot = name.ReverseFind('.');
    if (dot > 0)
        name = name.Left(dot);
    return name;
}

int AfxMessageBox(LPCSTR text, UINT type, UINT)
{
    CWnd* main = AfxGetMainWnd();
    HWND owner = main && ::IsWindow(main->m_hWnd) ? main->m_hWnd : nullptr;
    return AfxRunMessageBox(owner, text, AfxGetAppName(), type);
}

int AfxMessageBox(UINT stringId, UINT type, UINT helpId)
{
    CString text;
    text.LoadString(stringId);
    return AfxMessageBox(text, type, helpId);
}

BOOL AfxSocketInit(WSADATA* data)
{
    WSADATA local;
    if (::WSAStartup(MAKEWORD(1, 1), data ? data : &local) != 0)
        return FALSE;
    g_socketsStarted = true;
    return TRUE;
}

void AfxEnableControlContainer() {}

void AfxPumpMessage(MSG& msg, HWND stopAt)
{
    AfxCallGuarded("message loop", 0, [&] {
        for (HWND h = msg.hwnd; h; h = ::GetParent(h)) {
            CWnd* wnd = CWnd::FromHandlePermanent(h);
            if (wnd && wnd->PreTranslateMessage(&msg))
                return 0;
            if (h == stopAt)
                break;
        }
        if (stopAt && ::IsWindow(stopAt) && ::IsDialogMessageA(stopAt, &msg))
            return 0;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
        return 0;
    });
}

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int cmdShow)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = cmdLine;
    app->m_nCmdShow = cmdShow;
    if (!app->m_pszAppName) {
        char path[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, path, sizeof(path) - 1);
        app->m_strAppName = AfxAppNameFromPath(path);
        app->m_pszAppName = app->m_strAppName;
    }

    // The templates use links, list views, spin buttons and hot-key fields.
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_LINK_CLASS |
                                                 ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS | ICC_HOTKEY_CLASS};
    ::InitCommonControlsEx(&icc);

    const BOOL started = AfxCallGuarded("InitInstance", FALSE, [&] { return app->InitInstance(); });
    if (!started)
        return AfxCallGuarded("ExitInstance", 0, [&] { return app->ExitInstance(); });
    return AfxCallGuarded("Run", 0, [&] { return app->Run(); });
}
