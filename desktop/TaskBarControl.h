#pragma once
// Adds and removes the taskbar buttons of other programs' windows through the shell's
// taskbar-list object, as a process-wide single instance.
#include <windows.h>
#include <shobjidl.h>

// Creates the taskbar-list object (not yet initialised); the service calls HrInit itself.
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

    ITaskbarList* m_pTaskbarList;  // null when it could not be created or initialised
    int m_bEnableDeleteTab;

    static CTaskBarControl* m_pInstance;

private:
    bool m_bComInitialized;  // CoUninitialize balances only a CoInitialize that succeeded
};
