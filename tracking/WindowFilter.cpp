#include "tracking/WindowFilter.h"

WindowVerdict FilterByStyle(const WindowFacts& w, HWND ownPage)
{
    if (w.hwnd == ownPage)
        return SkipOwnPage;
    if (!(w.style & WS_SYSMENU) || !(w.style & WS_MINIMIZEBOX) || !(w.style & WS_VISIBLE))
        return SkipStyle;
    return Tracked;
}

WindowVerdict FilterBeforeProcess(const WindowFacts& w, HWND ownPage, DWORD ownProcessId)
{
    const WindowVerdict byStyle = FilterByStyle(w, ownPage);
    if (byStyle != Tracked)
        return byStyle;
    if (w.title == "Program Manager")
        return SkipProgramManager;
    if (w.title.IsEmpty())
        return SkipEmptyTitle;
    // Our own windows never get a thumbnail, whatever the executable is called.
    if (w.processId == ownProcessId)
        return SkipOwnProcess;
    return Tracked;
}

WindowVerdict FilterAfterProcess(const WindowFacts& w)
{
    if (w.processName.IsEmpty())
        return SkipEmptyProcessName;
    if (w.processName == "Kestrova.exe")
        return SkipOwnProgramName;
    if (w.rect.right == w.rect.left || w.rect.bottom == w.rect.top)
        return SkipEmptyRect;
    return Tracked;
}
