#pragma once
// One capture by PrintWindow of a window of another thread, taken on a thread of its own.
// PrintWindow waits for the window's thread without a time-out, so a source that answers only
// between long works holds up that thread, not the program. The threads are kept, each with its
// memory DC and scratch bitmap, for the prints after: a print costs no thread and no bitmap while
// the sources answer, and one more thread for each that holds its print up.
#include <windows.h>

#include <memory>

enum PrintOutcome {
    kPrintGoesOn,
    kPrinted,        // the image holds the window at the size it had
    kPrintNotIdle,   // its process did not become idle in time: nothing asked
    kPrintNoAnswer,  // it did not answer the question before the print
    kPrintFailed,    // no rectangle or no bitmap for it: nothing to show
};

// Waits, milliseconds at most, for the process to wait for input with none pending.
bool ProcessIdle(DWORD processId, DWORD milliseconds);

// Print threads waiting for a print: each print gives its thread back once both sides are done with it.
size_t KeptPrintThreads();

class PrintInBackground {
public:
    // Waits up to 100 ms for the source's process to be idle (none: no process id), asks the source (1000 ms at most),
    // then prints it, at its size of that moment, over `fill`. Once it has ended, posts `message`
    // to `notify`. Throws when no thread can be started. The image is the print's until this
    // object goes.
    static std::shared_ptr<PrintInBackground> Start(HWND source, DWORD processId, COLORREF fill, HWND notify,
                                                    UINT message);
    ~PrintInBackground();
    PrintInBackground(const PrintInBackground&) = delete;
    PrintInBackground& operator=(const PrintInBackground&) = delete;

    // Waits for the end, timeoutMs at most, letting in what is sent to this thread (the thread of
    // a source of this process waits for it); true once it has ended. A print that ends inside the
    // wait posts no message.
    bool Wait(DWORD timeoutMs);
    // kPrintGoesOn until it has ended; the rest only once it has.
    PrintOutcome Outcome() const;
    // A memory DC with the image selected, and its size: the source's rectangle at the print.
    HDC ImageDC() const;
    RECT Window() const;
    // When the source was asked, and how long the idle wait and the question took.
    DWORD AskedTick() const;
    double IdleWaitMs() const;
    double AnswerCheckMs() const;

    struct Worker;

private:
    explicit PrintInBackground(std::shared_ptr<Worker> worker);
    std::shared_ptr<Worker> m_worker;
};
