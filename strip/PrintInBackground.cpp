#include "strip/PrintInBackground.h"

#include <utility>

#include "framework/Handle.h"
#include "framework/Thread.h"
#include "framework/Trace.h"
#include "strip/ParkedWindow.h"

struct PrintInBackground::Shared {
    HWND source = nullptr;
    DWORD processId = 0;
    COLORREF fill = 0;
    HWND notify = nullptr;
    UINT message = 0;
    CManualEvent done;
    // Written by the print's thread before done is set, read only after.
    PrintOutcome outcome = kPrintGoesOn;
    RECT window = {0, 0, 0, 0};
    HDC imageDC = nullptr;
    HBITMAP image = nullptr;
    HGDIOBJ oldImage = nullptr;
    DWORD askedTick = 0;
    double idleMs = 0;
    double answerMs = 0;

    // The last owner, the program or the print's thread, lets the image go.
    ~Shared()
    {
        if (imageDC) {
            ::SelectObject(imageDC, oldImage);
            ::DeleteDC(imageDC);
        }
        if (image)
            ::DeleteObject(image);
    }
};

namespace {

using Shared = PrintInBackground::Shared;

double MsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

bool ProcessIdle(DWORD processId, DWORD milliseconds)
{
    // SYNCHRONIZE: WaitForInputIdle needs it under Wine.
    const CKernelHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, processId));
    if (!process)
        return false;
    switch (::WaitForInputIdle(process.Get(), milliseconds)) {
        case 0:
            return true;
        case WAIT_TIMEOUT:
            AfxTrace("WaitForInputIdle()関数がTIMEOUTです\n");
            return false;
        case WAIT_FAILED:
            AfxTrace("WaitForInputIdle()関数のエラーです\n");
            return false;
        default:
            return false;
    }
}

namespace {

PrintOutcome Print(Shared& print)
{
    LARGE_INTEGER start;
    ::QueryPerformanceCounter(&start);
    const bool idle = !print.processId || ProcessIdle(print.processId, 100);
    print.idleMs = MsSince(start);
    if (!idle)
        return kPrintNotIdle;
    ::QueryPerformanceCounter(&start);
    const bool answers = WindowAnswers(print.source);
    print.answerMs = MsSince(start);
    print.askedTick = ::GetTickCount();
    if (!answers)
        return kPrintNoAnswer;
    RECT& r = print.window;
    if (!::GetWindowRect(print.source, &r) || r.right <= r.left || r.bottom <= r.top)
        return kPrintFailed;
    HDC screen = ::GetDC(nullptr);
    if (!screen)
        return kPrintFailed;
    // Compatible with the screen, as the thumbnail's own image is: a memory DC's own format is monochrome.
    print.image = ::CreateCompatibleBitmap(screen, r.right - r.left, r.bottom - r.top);
    print.imageDC = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    if (!print.image || !print.imageDC) {
        AfxTrace("●Create CompatibleBitmap() Error=%d\n", static_cast<int>(::GetLastError()));
        return kPrintFailed;
    }
    print.oldImage = ::SelectObject(print.imageDC, print.image);
    const RECT all = {0, 0, r.right - r.left, r.bottom - r.top};
    const HBRUSH brush = ::CreateSolidBrush(print.fill);
    ::FillRect(print.imageDC, &all, brush);
    ::DeleteObject(brush);
    ::PrintWindow(print.source, print.imageDC, 0);
    return kPrinted;
}

}  // namespace

PrintInBackground::PrintInBackground(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}

PrintInBackground::~PrintInBackground() = default;

std::shared_ptr<PrintInBackground> PrintInBackground::Start(HWND source, DWORD processId, COLORREF fill, HWND notify,
                                                            UINT message)
{
    auto shared = std::make_shared<Shared>();
    shared->source = source;
    shared->processId = processId;
    shared->fill = fill;
    shared->notify = notify;
    shared->message = message;
    std::shared_ptr<PrintInBackground> print(new PrintInBackground(shared));
    StartDetached([shared] {
        PrintOutcome outcome = kPrintFailed;
        try {
            outcome = Print(*shared);
        } catch (...) {
        }
        shared->outcome = outcome;
        shared->done.Set();
        // Gone with its thumbnail: nobody takes the image up, and the last owner lets it go.
        ::PostMessageA(shared->notify, shared->message, 0, 0);
    });
    return print;
}

bool PrintInBackground::Wait(DWORD timeoutMs)
{
    return WaitPumpingSent({m_shared->done.h.Get()}, timeoutMs);
}

PrintOutcome PrintInBackground::Outcome() const
{
    return m_shared->done.IsSet() ? m_shared->outcome : kPrintGoesOn;
}

HDC PrintInBackground::ImageDC() const
{
    return Outcome() == kPrinted ? m_shared->imageDC : nullptr;
}

RECT PrintInBackground::Window() const
{
    return m_shared->window;
}

DWORD PrintInBackground::AskedTick() const
{
    return m_shared->askedTick;
}

double PrintInBackground::IdleWaitMs() const
{
    return m_shared->idleMs;
}

double PrintInBackground::AnswerCheckMs() const
{
    return m_shared->answerMs;
}
