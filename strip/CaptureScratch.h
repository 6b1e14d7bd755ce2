#pragma once
// The memory DCs that the captures work in, shared by every thumbnail: captures run one at a time
// on the user-interface thread. The copy of the source goes into one scratch bitmap, grown when a
// larger source comes; the thumbnails' own images are drawn through a second DC.
#include "framework/Gdi.h"

#include <memory>

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
    CDC* CopyDC(CDC* compatible, SIZE size);
    // A memory DC with nothing of ours selected; null when it cannot be made.
    CDC* ImageDC(CDC* compatible);
    // Lets go of the DCs and the bitmap (when the last thumbnail goes).
    void Release();
    SIZE Size() const { return m_size; }

    bool m_bCopyInUse = false;  // a capture holds the copy DC (see CCopyBuffer)

private:
    CBitmap m_bitmap;  // before the DC that selects it: the DC lets go of it before it is deleted
    std::unique_ptr<CDC> m_copyDC;
    std::unique_ptr<CDC> m_imageDC;
    SIZE m_size = {0, 0};
};

CCaptureScratch& CaptureScratch();

// The copy DC of one capture: the shared scratch, or, when a capture further up the stack holds it
// (a source's reply to PrintWindow let a nested one in), a DC and bitmap of its own.
class CCopyBuffer {
public:
    CCopyBuffer(CDC* compatible, SIZE size);
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
