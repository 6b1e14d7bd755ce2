#pragma once
#include <windows.h>

// How a thumbnail's context menu reaches the control page. Any operation may destroy the calling
// thumbnail, so the caller must not touch itself afterwards.
class CthumbnailListener {
public:
    virtual void arrange() = 0;
    virtual void moveToTop(HWND source) = 0;
    virtual void moveForward(HWND source) = 0;
    virtual void moveBackward(HWND source) = 0;
    virtual void moveToEnd(HWND source) = 0;
    virtual void exclude(HWND source) = 0;

protected:
    ~CthumbnailListener() {}  // never deleted through the interface
};
