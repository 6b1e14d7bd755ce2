#include "strip/CaptureScratch.h"

#include <utility>

SIZE ScratchSizeFor(SIZE current, SIZE needed)
{
    if (needed.cx <= 0 || needed.cy <= 0)
        return current;
    const SIZE grown = {needed.cx > current.cx ? needed.cx : current.cx, needed.cy > current.cy ? needed.cy : current.cy};
    const LONGLONG grownArea = static_cast<LONGLONG>(grown.cx) * grown.cy;
    const LONGLONG neededArea = static_cast<LONGLONG>(needed.cx) * needed.cy;
    return grownArea > kScratchSlack * neededArea ? needed : grown;
}

namespace {

CDC* MemoryDC(std::unique_ptr<CDC>& dc, CDC* compatible)
{
    if (!dc) {
        std::unique_ptr<CDC> made(new CDC);
        if (!made->CreateCompatibleDC(compatible))
            return nullptr;
        dc = std::move(made);
    }
    return dc.get();
}

}  // namespace

CDC* CCaptureScratch::CopyDC(CDC* compatible, SIZE size)
{
    CDC* dc = MemoryDC(m_copyDC, compatible);
    if (!dc)
        return nullptr;
    const SIZE wanted = ScratchSizeFor(m_size, size);
    if (wanted.cx != m_size.cx || wanted.cy != m_size.cy || !m_bitmap.GetSafeHandle()) {
        CBitmap grown;
        // Compatible with the window's DC: a memory DC's own format is monochrome.
        if (!grown.CreateCompatibleBitmap(compatible, wanted.cx, wanted.cy))
            return nullptr;
        dc->SelectObject(grown);  // the old bitmap is out of the DC before it is deleted
        m_bitmap = std::move(grown);
        m_size = wanted;
    }
    return dc;
}

CDC* CCaptureScratch::ImageDC(CDC* compatible)
{
    return MemoryDC(m_imageDC, compatible);
}

void CCaptureScratch::Release()
{
    if (m_bCopyInUse)
        return;  // a capture still works in it; the next release takes it
    m_imageDC.reset();
    m_copyDC.reset();  // puts the stock bitmap back, so the scratch bitmap can go
    m_bitmap.DeleteObject();
    m_size = {0, 0};
}

CCaptureScratch& CaptureScratch()
{
    static CCaptureScratch scratch;
    return scratch;
}

CCopyBuffer::CCopyBuffer(CDC* compatible, SIZE size)
{
    CCaptureScratch& scratch = CaptureScratch();
    if (!scratch.m_bCopyInUse) {
        m_pDC = scratch.CopyDC(compatible, size);
        m_bShared = m_pDC != nullptr;
        scratch.m_bCopyInUse = m_bShared;
        return;
    }
    if (m_ownDC.CreateCompatibleDC(compatible) && m_ownBitmap.CreateCompatibleBitmap(compatible, size.cx, size.cy)) {
        m_ownDC.SelectObject(m_ownBitmap);
        m_pDC = &m_ownDC;
    }
}

CCopyBuffer::~CCopyBuffer()
{
    if (m_bShared)
        CaptureScratch().m_bCopyInUse = false;
}
