#include "framework/Gdi.h"

#include "framework/Wnd.h"

namespace {
long g_gdiLive = 0;
}

long AfxGdiLiveCount() { return g_gdiLive; }

CGdiObject& CGdiObject::operator=(CGdiObject&& o) noexcept
{
    if (this != &o) {
        DeleteObject();
        m_hObject = o.m_hObject;
        o.m_hObject = nullptr;
    }
    return *this;
}

BOOL CGdiObject::Attach(HGDIOBJ object)
{
    DeleteObject();
    if (!object)
        return FALSE;
    m_hObject = object;
    ++g_gdiLive;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ object = m_hObject;
    if (object)
        --g_gdiLive;
    m_hObject = nullptr;
    return object;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    const BOOL ok = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    --g_gdiLive;
    return ok;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height)
{
    return Attach(::CreateCompatibleBitmap(dc->m_hDC, width, height));
}

CDC::~CDC()
{
    RestoreSelections();
    if (m_bOwned && m_hDC) {
        ::DeleteDC(m_hDC);
        --g_gdiLive;
    }
}

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    HDC created = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
    if (!created)
        return FALSE;
    RestoreSelections();
    if (m_bOwned && m_hDC) {
        ::DeleteDC(m_hDC);
        --g_gdiLive;
    }
    m_hDC = created;
    m_bOwned = true;
    ++g_gdiLive;
    return TRUE;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object)
{
    if (!m_hDC || !object)
        return nullptr;
    int kind;
    switch (::GetObjectType(object)) {
    case OBJ_PEN:
    case OBJ_EXTPEN: kind = kPen; break;
    case OBJ_BRUSH: kind = kBrush; break;
    case OBJ_BITMAP: kind = kBitmap; break;
    case OBJ_FONT: kind = kFont; break;
    default: return ::SelectObject(m_hDC, object);
    }
    HGDIOBJ previous = ::SelectObject(m_hDC, object);
    if (!m_hOldObjects[kind])
        m_hOldObjects[kind] = previous;
    return previous;
}

void CDC::RestoreSelections()
{
    for (HGDIOBJ& old : m_hOldObjects) {
        if (old && m_hDC)
            ::SelectObject(m_hDC, old);
        old = nullptr;
    }
}

void CDC::FillSolidRect(const RECT& rect, COLORREF color)
{
    const COLORREF previous = ::SetBkColor(m_hDC, color);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, previous);
}

CPaintDC::CPaintDC(CWnd* wnd) : m_ps{}, m_hWnd(wnd->m_hWnd)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    RestoreSelections();
    ::EndPaint(m_hWnd, &m_ps);
    m_hDC = nullptr;
}

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr)
{
    m_hDC = ::GetDC(m_hWnd);
}

CClientDC::~CClientDC()
{
    RestoreSelections();
    if (m_hDC)
        ::ReleaseDC(m_hWnd, m_hDC);
    m_hDC = nullptr;
}
