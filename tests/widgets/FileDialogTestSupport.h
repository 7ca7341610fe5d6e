#pragma once
// Helpers of the file dialog tests under Wine: the application object (made here unless the
// run has one already), bounded pumping, a driver that plays steps while modal windows run
// their own message loops, and small window look-ups and clicks through window messages.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "UiTestSupport.h" // PumpUntil

namespace kvtest {

// Plays steps from a thread timer, one at a time: a step returns true when it has done its
// part (the next step runs at a later tick), false to be asked again. Steps only post
// messages, so a modal window they open runs in the caller's loop, not inside the timer.
// After timeoutMs every modal form of the framework ends with mrAbort and every dialog of the
// shell with Cancel, so a test can never hang.
class StepDriver {
public:
    explicit StepDriver(std::vector<std::function<bool()>> steps, unsigned timeoutMs = 60000);
    ~StepDriver();
    StepDriver(const StepDriver&) = delete;
    StepDriver& operator=(const StepDriver&) = delete;
    // Every step ran.
    bool Finished() const { return next_ >= steps_.size(); }
    bool TimedOut() const { return timedOut_; }
    // The number of the step still waiting (for failure messages).
    size_t Waiting() const { return next_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void Run();
    std::vector<std::function<bool()>> steps_;
    size_t next_ = 0;
    DWORD start_;
    unsigned timeoutMs_;
    bool timedOut_ = false;
    bool running_ = false;
    UINT_PTR timer_;
};

// The visible top-level window of this thread with that class (and not `except`), or null.
HWND FindThreadWindow(const wchar_t* className, HWND except = nullptr);
// The child window with that class whose text is `text` (any text when null), or null.
HWND FindChild(HWND parent, const wchar_t* className, const wchar_t* text = nullptr);
// The window's text.
std::u16string WindowText(HWND wnd);
// Posts a key press (down and up) to a window, as the keyboard would.
void PostKey(HWND wnd, WORD key);
// Posts a click to a button window.
void PostClick(HWND button);
// Posts a left mouse click on the middle of a window (controls that are no system button).
void PostMouseClick(HWND wnd);

} // namespace kvtest
