#include "framework/Thread.h"

#include <process.h>

#include <memory>
#include <stdexcept>
#include <utility>

namespace {

unsigned __stdcall RunDetached(void* context)
{
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(context));
    try {
        (*work)();
    } catch (...) {
    }
    return 0;
}

}  // namespace

// Started by the C runtime rather than std::thread: the library's detached threads, started just
// as one ends, can share one record, so that one's work runs twice and another's never.
void StartDetached(std::function<void()> work)
{
    auto* context = new std::function<void()>(std::move(work));
    const CKernelHandle thread(
        reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &RunDetached, context, 0, nullptr)));
    if (!thread) {
        delete context;
        throw std::runtime_error("no thread");
    }
}

bool WaitPumpingSent(const std::vector<HANDLE>& events, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (HANDLE h : events) {
        for (;;) {
            if (!h || ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0)
                break;
            const DWORD spent = ::GetTickCount() - start;
            if (spent >= timeoutMs)
                return false;
            ::MsgWaitForMultipleObjects(1, &h, FALSE, timeoutMs - spent, QS_SENDMESSAGE);
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    return true;
}
