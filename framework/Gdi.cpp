#include "framework/Gdi.h"

#include "framework/Trace.h"
#include "framework/Wnd.h"

namespace {
long g_gdiLive = 0;
}

long AfxGdiLiveCount()
{
    return g_gdiLive;
}

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
    HGDIOBJ object = m_hObject;
    m_hObject = nullptr;
    // Windows refuses to delete an object still selected into a DC and Wine defers it: either way it
    // is still alive, so it stays counted.
    const BOOL gone = ::DeleteObject(object) && ::GetObjectType(object) == 0;
    if (gone)
        --g_gdiLive;
    else
        AfxTrace("GDI object 0x%08x still alive after DeleteObject\n",
                 static_cast<unsigned>(reinterpret_cast<UINT_PTR>(object)));
    return gone;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height)
{
    return Attach(::CreateCompatibleBitmap(dc->m_hDC, width, height));
}

CDC::~CDC()
{
    RestoreSelections();
    if (m_bOwned && m_hDC && ::DeleteDC(m_hDC))
        --g_gdiLive;
}

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    HDC created = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
    if (!created)
        return FALSE;
    RestoreSelections();
    if (m_bOwned && m_hDC && ::DeleteDC(m_hDC))
        --g_gdiLive;
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
        case OBJ_EXTPEN:
            kind = kPen;
            break;
        case OBJ_BRUSH:
            kind = kBrush;
            break;
        case OBJ_BITMAP:
            kind = kBitmap;
            break;
        case OBJ_FONT:
            kind = kFont;
            break;
        default:
            return ::SelectObject(m_hDC, object);
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
