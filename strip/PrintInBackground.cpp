#include "strip/PrintInBackground.h"

#include <mutex>
#include <utility>
#include <vector>

#include "framework/Handle.h"
#include "framework/Thread.h"
#include "framework/Trace.h"
#include "strip/CaptureScratch.h"
#include "strip/ParkedWindow.h"

// A print thread with its scratch. A print is over once the thread has ended it and the program has
// let go of its image, in either order: the second of the two gives the thread back to the pool.
struct PrintInBackground::Worker {
    CKernelHandle wake{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    // Set at the end of each print, taken by the program's wait; `finished` says whether it is this
    // print's end.
    CKernelHandle done{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    // The print asked for: written before wake is set.
    HWND source = nullptr;
    DWORD processId = 0;
    COLORREF fill = 0;
    HWND notify = nullptr;
    UINT message = 0;
    bool quit = false;  // woken to end
    // Its result: written by the thread before it sets `finished`, read only after.
    PrintOutcome outcome = kPrintGoesOn;
    RECT window = {0, 0, 0, 0};
    DWORD askedTick = 0;
    double idleMs = 0;
    double answerMs = 0;
    // Under lock: how far the print is, and which side has finished with it.
    std::mutex lock;
    bool finished = false;   // its result is written
    bool waitedFor = false;  // the program waits for it, and takes it up at its end without a message
    bool ended = false;      // the thread is done with it
    bool released = false;   // the program is done with it
    // The scratch, the thread's own between prints and the program's from the end of a print until
    // it lets go of the image.
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    SIZE size = {0, 0};

    ~Worker()
    {
        if (dc) {
            ::SelectObject(dc, oldBitmap);
            ::DeleteDC(dc);
        }
        if (bitmap)
            ::DeleteObject(bitmap);
    }
};

namespace {

using Worker = PrintInBackground::Worker;

// Threads kept for the next print; a thread given back beyond these ends with its scratch.
const size_t kKeptWorkers = 2;
// Never destroyed: a thread may still give itself back while the program's statics go.
std::mutex& g_poolLock = *new std::mutex;
std::vector<std::shared_ptr<Worker>>& g_pool = *new std::vector<std::shared_ptr<Worker>>;

void GiveBack(const std::shared_ptr<Worker>& worker)
{
    {
        std::lock_guard<std::mutex> lock(g_poolLock);
        if (g_pool.size() < kKeptWorkers) {
            g_pool.push_back(worker);
            return;
        }
    }
    worker->quit = true;
    ::SetEvent(worker->wake.Get());
}

double MsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The scratch holds at least `needed`; false when it cannot.
bool FitScratch(Worker& w, SIZE needed)
{
    if (!w.dc) {
        w.dc = ::CreateCompatibleDC(nullptr);
        if (!w.dc)
            return false;
    }
    const SIZE wanted = ScratchSizeFor(w.size, needed);
    if (w.bitmap && wanted.cx == w.size.cx && wanted.cy == w.size.cy)
        return true;
    // Compatible with the screen, as the thumbnail's image is: a memory DC's own format is monochrome.
    HDC screen = ::GetDC(nullptr);
    HBITMAP fresh = screen ? ::CreateCompatibleBitmap(screen, wanted.cx, wanted.cy) : nullptr;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    if (!fresh) {
        AfxTrace("●Create CompatibleBitmap() Error=%d\n", static_cast<int>(::GetLastError()));
        return false;
    }
    const HGDIOBJ previous = ::SelectObject(w.dc, fresh);
    if (!w.bitmap)
        w.oldBitmap = previous;
    else
        ::DeleteObject(w.bitmap);
    w.bitmap = fresh;
    w.size = wanted;
    return true;
}

PrintOutcome Print(Worker& w)
{
    LARGE_INTEGER start;
    ::QueryPerformanceCounter(&start);
    const bool idle = !w.processId || ProcessIdle(w.processId, 100);
    w.idleMs = MsSince(start);
    if (!idle)
        return kPrintNotIdle;
    ::QueryPerformanceCounter(&start);
    const bool answers = WindowAnswers(w.source);
    w.answerMs = MsSince(start);
    w.askedTick = ::GetTickCount();
    if (!answers)
        return kPrintNoAnswer;
    RECT& r = w.window;
    if (!::GetWindowRect(w.source, &r) || r.right <= r.left || r.bottom <= r.top)
        return kPrintFailed;
    if (!FitScratch(w, {r.right - r.left, r.bottom - r.top}))
        return kPrintFailed;
    const RECT all = {0, 0, r.right - r.left, r.bottom - r.top};
    ::SetBkColor(w.dc, w.fill);
    ::ExtTextOutA(w.dc, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
    ::PrintWindow(w.source, w.dc, 0);
    return kPrinted;
}

void Run(const std::shared_ptr<Worker>& w)
{
    for (;;) {
        ::WaitForSingleObject(w->wake.Get(), INFINITE);
        if (w->quit)
            return;
        PrintOutcome outcome = kPrintFailed;
        try {
            outcome = Print(*w);
        } catch (...) {
        }
        w->outcome = outcome;
        const HWND notify = w->notify;
        const UINT message = w->message;
        bool post;
        {
            std::lock_guard<std::mutex> lock(w->lock);
            w->finished = true;
            post = !w->waitedFor;
        }
        ::SetEvent(w->done.Get());
        // Gone with its thumbnail: nobody takes the image up.
        if (post)
            ::PostMessageA(notify, message, 0, 0);
        bool back;
        {
            std::lock_guard<std::mutex> lock(w->lock);
            w->ended = true;
            back = w->released;
        }
        if (back)
            GiveBack(w);
    }
}

}  // namespace

size_t KeptPrintThreads()
{
    std::lock_guard<std::mutex> lock(g_poolLock);
    return g_pool.size();
}

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

PrintInBackground::PrintInBackground(std::shared_ptr<Worker> worker) : m_worker(std::move(worker)) {}

PrintInBackground::~PrintInBackground()
{
    bool back;
    {
        std::lock_guard<std::mutex> lock(m_worker->lock);
        m_worker->released = true;
        back = m_worker->ended;
    }
    if (back)
        GiveBack(m_worker);
}

std::shared_ptr<PrintInBackground> PrintInBackground::Start(HWND source, DWORD processId, COLORREF fill, HWND notify,
                                                            UINT message)
{
    std::shared_ptr<Worker> worker;
    {
        std::lock_guard<std::mutex> lock(g_poolLock);
        if (!g_pool.empty()) {
            worker = std::move(g_pool.back());
            g_pool.pop_back();
        }
    }
    const bool fresh = !worker;
    if (fresh)
        worker = std::make_shared<Worker>();
    worker->source = source;
    worker->processId = processId;
    worker->fill = fill;
    worker->notify = notify;
    worker->message = message;
    worker->outcome = kPrintGoesOn;
    worker->idleMs = worker->answerMs = 0;
    {
        std::lock_guard<std::mutex> lock(worker->lock);
        worker->finished = worker->waitedFor = worker->ended = worker->released = false;
    }
    if (fresh)
        StartDetached([worker] { Run(worker); });  // throws before the print is handed out
    std::shared_ptr<PrintInBackground> print(new PrintInBackground(worker));
    ::SetEvent(worker->wake.Get());
    return print;
}

bool PrintInBackground::Wait(DWORD timeoutMs)
{
    {
        std::lock_guard<std::mutex> lock(m_worker->lock);
        if (m_worker->finished)
            return true;
        m_worker->waitedFor = true;
    }
    const HANDLE done = m_worker->done.Get();
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD spent = ::GetTickCount() - start;
        const DWORD woke =
            ::MsgWaitForMultipleObjects(1, &done, FALSE, spent < timeoutMs ? timeoutMs - spent : 0, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        std::lock_guard<std::mutex> lock(m_worker->lock);
        // Woken by the end of a print before this one, which nobody waited for: this one goes on.
        if (m_worker->finished || woke != WAIT_OBJECT_0 || ::GetTickCount() - start >= timeoutMs) {
            m_worker->waitedFor = false;
            return m_worker->finished;
        }
    }
}

PrintOutcome PrintInBackground::Outcome() const
{
    std::lock_guard<std::mutex> lock(m_worker->lock);
    return m_worker->finished ? m_worker->outcome : kPrintGoesOn;
}

HDC PrintInBackground::ImageDC() const
{
    return Outcome() == kPrinted ? m_worker->dc : nullptr;
}

RECT PrintInBackground::Window() const
{
    return m_worker->window;
}

DWORD PrintInBackground::AskedTick() const
{
    return m_worker->askedTick;
}

double PrintInBackground::IdleWaitMs() const
{
    return m_worker->idleMs;
}

double PrintInBackground::AnswerCheckMs() const
{
    return m_worker->answerMs;
}
