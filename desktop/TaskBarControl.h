#pragma once
// Adds and removes the taskbar buttons of other programs' windows through the shell's
// taskbar-list object, as a process-wide single instance.
#include <windows.h>
#include <shobjidl.h>

// Creates the taskbar-list object (not yet initialised); the service calls HrInit itself.
// The service makes it at its first tab call, so that start-up does not wait for the shell.
typedef HRESULT (*TaskbarListFactory)(ITaskbarList** taskbarList);

class CTaskBarControl {
public:
    CTaskBarControl();
    // Test seam: the object comes from factory instead of CoCreateInstance.
    explicit CTaskBarControl(TaskbarListFactory factory);
    virtual ~CTaskBarControl();
    CTaskBarControl(const CTaskBarControl&) = delete;
    CTaskBarControl& operator=(const CTaskBarControl&) = delete;

    static CTaskBarControl* GetInstance();  // null when it cannot be allocated
    static void ReleaseInstance();

    // TRUE exactly when the shell returns S_OK; FALSE without the taskbar-list object.
    BOOL AddTab(HWND hwnd);
    // TRUE at once while m_bEnableDeleteTab is 0.
    BOOL DeleteTab(HWND hwnd);

    ITaskbarList* m_pTaskbarList;  // null before the first tab call, or when it could not be made
    int m_bEnableDeleteTab;

    static CTaskBarControl* m_pInstance;

private:
    // The taskbar-list object, made and initialised on the first call; null when that failed.
    ITaskbarList* TaskbarList();

    TaskbarListFactory m_factory;
    bool m_bCreateTried;
    bool m_bComInitialized;  // CoUninitialize balances only a CoInitialize that succeeded
};
