#include "desktop/TaskBarControl.h"

#include <new>

CTaskBarControl* CTaskBarControl::m_pInstance = nullptr;

namespace {

HRESULT CreateShellTaskbarList(ITaskbarList** taskbarList)
{
    return CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList,
                            reinterpret_cast<void**>(taskbarList));
}

}  // namespace

CTaskBarControl::CTaskBarControl() : CTaskBarControl(CreateShellTaskbarList) {}

CTaskBarControl::CTaskBarControl(TaskbarListFactory factory)
    : m_pTaskbarList(nullptr),
      m_bEnableDeleteTab(1),
      m_factory(factory),
      m_bCreateTried(false),
      m_bComInitialized(false)
{
    // The thread's apartment from start-up on, for the shell calls of the other pages too.
    m_bComInitialized = SUCCEEDED(CoInitialize(nullptr));  // S_FALSE too: already initialised here
}

ITaskbarList* CTaskBarControl::TaskbarList()
{
    if (m_bCreateTried)
        return m_pTaskbarList;
    m_bCreateTried = true;
    ITaskbarList* taskbarList = nullptr;
    if (!m_factory || FAILED(m_factory(&taskbarList)))
        taskbarList = nullptr;
    if (taskbarList && FAILED(taskbarList->HrInit())) {
        taskbarList->Release();
        taskbarList = nullptr;
    }
    m_pTaskbarList = taskbarList;
    return m_pTaskbarList;
}

CTaskBarControl::~CTaskBarControl()
{
    if (m_pTaskbarList)
        m_pTaskbarList->Release();
    if (m_bComInitialized)
        CoUninitialize();
}

CTaskBarControl* CTaskBarControl::GetInstance()
{
    if (!m_pInstance)
        m_pInstance = new (std::nothrow) CTaskBarControl;
    return m_pInstance;
}

void CTaskBarControl::ReleaseInstance()
{
    delete m_pInstance;
    m_pInstance = nullptr;
}

BOOL CTaskBarControl::AddTab(HWND hwnd)
{
    ITaskbarList* taskbarList = TaskbarList();
    return taskbarList && taskbarList->AddTab(hwnd) == S_OK;
}

BOOL CTaskBarControl::DeleteTab(HWND hwnd)
{
    if (m_bEnableDeleteTab == 0)
        return TRUE;
    ITaskbarList* taskbarList = TaskbarList();
    return taskbarList && taskbarList->DeleteTab(hwnd) == S_OK;
}
