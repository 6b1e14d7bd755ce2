#include "strip/CaptureScratch.h"

#include <utility>

SIZE ScratchSizeFor(SIZE current, SIZE needed)
{
    if (needed.cx <= 0 || needed.cy <= 0)
        return current;
    const SIZE grown = {needed.cx > current.cx ? needed.cx : current.cx,
                        needed.cy > current.cy ? needed.cy : current.cy};
    const LONGLONG grownArea = static_cast<LONGLONG>(grown.cx) * grown.cy;
    const LONGLONG neededArea = static_cast<LONGLONG>(needed.cx) * needed.cy;
    return grownArea > kScratchSlack * neededArea ? needed : grown;
}

CDC* CWindowDCOnDemand::Get()
{
    if (!m_dc)
        m_dc.reset(new CClientDC(m_pWnd));
    return m_dc->GetSafeHdc() ? m_dc.get() : nullptr;
}

CDC* CCaptureScratch::CopyDC(CWindowDCOnDemand& compatible, SIZE size)
{
    if (!m_copyDC) {
        CDC* window = compatible.Get();
        std::unique_ptr<CDC> made(new CDC);
        if (!window || !made->CreateCompatibleDC(window))
            return nullptr;
        m_copyDC = std::move(made);
    }
    CDC* dc = m_copyDC.get();
    const SIZE wanted = ScratchSizeFor(m_size, size);
    if (wanted.cx != m_size.cx || wanted.cy != m_size.cy || !m_bitmap.GetSafeHandle()) {
        CBitmap grown;
        // Compatible with the window's DC: a memory DC's own format is monochrome.
        CDC* window = compatible.Get();
        if (!window || !grown.CreateCompatibleBitmap(window, wanted.cx, wanted.cy))
            return nullptr;
        dc->SelectObject(grown);  // the old bitmap is out of the DC before it is deleted
        m_bitmap = std::move(grown);
        m_size = wanted;
    }
    return dc;
}

void CCaptureScratch::Release()
{
    if (m_bCopyInUse)
        return;        // a capture still works in it; the next release takes it
    m_copyDC.reset();  // puts the stock bitmap back, so the scratch bitmap can go
    m_bitmap.DeleteObject();
    m_size = {0, 0};
}

CCaptureScratch& CaptureScratch()
{
    static CCaptureScratch scratch;
    return scratch;
}

CCopyBuffer::CCopyBuffer(CWindowDCOnDemand& compatible, SIZE size)
{
    CCaptureScratch& scratch = CaptureScratch();
    if (!scratch.m_bCopyInUse) {
        m_pDC = scratch.CopyDC(compatible, size);
        m_bShared = m_pDC != nullptr;
        scratch.m_bCopyInUse = m_bShared;
        return;
    }
    CDC* window = compatible.Get();
    if (window && m_ownDC.CreateCompatibleDC(window) && m_ownBitmap.CreateCompatibleBitmap(window, size.cx, size.cy)) {
        m_ownDC.SelectObject(m_ownBitmap);
        m_pDC = &m_ownDC;
    }
}

CCopyBuffer::~CCopyBuffer()
{
    if (m_bShared)
        CaptureScratch().m_bCopyInUse = false;
}
