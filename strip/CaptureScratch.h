#pragma once
// The memory DC that the captures copy a source into, shared by every thumbnail: captures run one
// at a time on the user-interface thread. The copy goes into one scratch bitmap, grown when a
// larger source comes; each thumbnail keeps its own image in a DC of its own.
#include "framework/Gdi.h"

#include <memory>

// A window's DC, taken only when a bitmap or memory DC compatible with it is made: a capture into
// a scratch and an image that exist already needs none, and each GetDC costs a server round trip.
class CWindowDCOnDemand {
public:
    explicit CWindowDCOnDemand(CWnd* wnd) : m_pWnd(wnd) {}
    CWindowDCOnDemand(const CWindowDCOnDemand&) = delete;
    CWindowDCOnDemand& operator=(const CWindowDCOnDemand&) = delete;

    // Null when the DC cannot be taken.
    CDC* Get();

private:
    CWnd* m_pWnd;
    std::unique_ptr<CClientDC> m_dc;  // released with this object
};

// The scratch keeps at most this many times the area that the last copy needed.
const int kScratchSlack = 8;

// The size the scratch bitmap must have for a copy of `needed`, given the size it has: unchanged
// while the copy fits, else grown on each axis to the larger of the two; but never more than
// kScratchSlack times the copy's area, else exactly the copy's size, so a scratch grown for one
// large source, or for a wide one and a tall one, shrinks again.
SIZE ScratchSizeFor(SIZE current, SIZE needed);

class CCaptureScratch {
public:
    // The copy DC with a bitmap of at least `size` selected; null when it cannot be made.
    CDC* CopyDC(CWindowDCOnDemand& compatible, SIZE size);
    // Lets go of the DC and the bitmap (when the last thumbnail goes).
    void Release();
    SIZE Size() const { return m_size; }

    bool m_bCopyInUse = false;  // a capture holds the copy DC (see CCopyBuffer)

private:
    CBitmap m_bitmap;  // before the DC that selects it: the DC lets go of it before it is deleted
    std::unique_ptr<CDC> m_copyDC;
    SIZE m_size = {0, 0};
};

CCaptureScratch& CaptureScratch();

// The copy DC of one capture: the shared scratch, or, when a capture further up the stack holds it
// (a source's reply to PrintWindow let a nested one in), a DC and bitmap of its own.
class CCopyBuffer {
public:
    CCopyBuffer(CWindowDCOnDemand& compatible, SIZE size);
    ~CCopyBuffer();
    CCopyBuffer(const CCopyBuffer&) = delete;
    CCopyBuffer& operator=(const CCopyBuffer&) = delete;

    CDC* DC() const { return m_pDC; }  // null when it cannot be made

private:
    CBitmap m_ownBitmap;  // before the DC that selects it
    CDC m_ownDC;
    CDC* m_pDC = nullptr;
    bool m_bShared = false;
};
