#include "app/KestrovaApp.h"

#include "app/ConsoleExit.h"
#include "desktop/Globals.h"
#include "app/KestrovaDlg.h"
#include "desktop/MultiDisplay.h"
#include "app/StartUp.h"
#include "desktop/TaskBarControl.h"
#include "framework/Trace.h"
#include "res/resource.h"
#include "strip/ParkedWindow.h"
#include "tracking/ExclusionStore.h"

#include <cstdio>

namespace {
const char kMutexName[] = "__KESTROVA_TORVANE__";
const UINT kIdHelp = 57670;
}  // namespace

CKestrovaApp theApp;

BEGIN_MESSAGE_MAP(CKestrovaApp, CWinApp)
    ON_COMMAND(kIdHelp, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CKestrovaApp::CKestrovaApp() : CWinApp(nullptr) {}

CKestrovaApp::~CKestrovaApp() {}

BOOL CKestrovaApp::InitInstance()
{
    if (!AfxSocketInit()) {
        AfxMessageBox(IDP_SOCKETS_INIT_FAILED);
        return FALSE;
    }
    AfxEnableControlContainer();

    // Held, never released, for the life of the process: the name is the single-instance lock.
    HANDLE mutex = ::CreateMutexA(nullptr, TRUE, kMutexName);
    if (!mutex)
        return -1;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::MessageBoxA(nullptr, "     Kestrovaは既に起動されています.     ", "２重起動", MB_OK);
        return -1;
    }

    const CommandLineSwitches switches = ParseSwitches(__argc, __argv);
    if (switches.debug)
        DebugMode = 1;
    if (switches.layered)
        LayeredMode = 1;

    FILE* stream = nullptr;
    if (DebugMode == 1) {
        ::AllocConsole();
        freopen_s(&stream, "CONOUT$", "w", stdout);
        freopen_s(&stream, "CONIN$", "r", stdin);
        InstallConsoleCtrlHandler();
    } else {
        freopen_s(&stream, "/dev/nul", "w", stdout);
        freopen_s(&stream, "/dev/nul", "r", stdin);
    }

    AfxTrace("********** Start Kestrova DEBUG MODE  *******\n");
    if (DebugMode)
        AfxTrace("DEBUG_MODE ON\n");
    if (LayeredMode)
        AfxTrace("LAYERED_MODE ON\n");

    InitPortableFolder();

    if (CMultiDisplay* displays = CMultiDisplay::GetInstance())
        displays->EnumerateMonitors();
    if (!CTaskBarControl::m_pInstance)
        CTaskBarControl::m_pInstance = new CTaskBarControl();
    if (!ExclusionStore::m_pInstance)
        ExclusionStore::m_pInstance = new ExclusionStore();
    // Before tracking begins: windows a killed run left parked get their own state back.
    RecoverParkedWindows();

    CKestrovaDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();

    if (ExclusionStore::m_pInstance) {
        delete ExclusionStore::m_pInstance;
        ExclusionStore::m_pInstance = nullptr;
    }
    CMultiDisplay::ReleaseInstance();
    if (CTaskBarControl::m_pInstance) {
        delete CTaskBarControl::m_pInstance;
        CTaskBarControl::m_pInstance = nullptr;
    }
    // Rules saved, windows put back: a console handler waiting for this may let the process end.
    SignalExitDone();
    if (DebugMode == 1) {
        ::FreeConsole();
        ::Sleep(1000);
    }
    m_pMainWnd = nullptr;
    return FALSE;
}
