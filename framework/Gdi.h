#pragma once
// GDI wrappers. Each owns its handle and releases it in its destructor, so no GDI object leaks on
// an early return. Every owned object is counted: GetGuiResources reports 0 under Wine.
#include <windows.h>

class CWnd;

// Number of GDI objects and device contexts owned by wrappers right now. An object whose deletion
// failed, or was only deferred because it is still selected, stays in the count.
long AfxGdiLiveCount();

class CGdiObject {
public:
    CGdiObject() : m_hObject(nullptr) {}
    ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& o) noexcept : m_hObject(o.m_hObject) { o.m_hObject = nullptr; }
    CGdiObject& operator=(CGdiObject&& o) noexcept;

    // Takes ownership of a created object.
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    operator HGDIOBJ() const { return m_hObject; }

    HGDIOBJ m_hObject;
};

class CBrush : public CGdiObject {
public:
    CBrush() {}
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

class CPen : public CGdiObject {
public:
    CPen() {}
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    BOOL CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
};

class CDC;

class CBitmap : public CGdiObject {
public:
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    int GetBitmap(BITMAP* info) const { return ::GetObjectA(m_hObject, sizeof(BITMAP), info); }
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

// A device context. Memory DCs made by CreateCompatibleDC are owned and deleted; a DC given to
// the constructor is only borrowed. Objects selected through SelectObject are put back first.
class CDC {
public:
    CDC() : m_hDC(nullptr), m_bOwned(false), m_hOldObjects{} {}
    explicit CDC(HDC borrowed) : m_hDC(borrowed), m_bOwned(false), m_hOldObjects{} {}
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    BOOL CreateCompatibleDC(CDC* dc);
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    // Selects a pen, brush, bitmap or font; the previous one of that kind returns on destruction.
    HGDIOBJ SelectObject(HGDIOBJ object);
    void RestoreSelections();

    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    int SetStretchBltMode(int mode) { return ::SetStretchBltMode(m_hDC, mode); }
    BOOL TextOut(int x, int y, const char* text, int length) { return ::TextOutA(m_hDC, x, y, text, length); }
    int DrawText(const char* text, int length, LPRECT rect, UINT format)
    {
        return ::DrawTextA(m_hDC, text, length, rect, format);
    }
    void FillSolidRect(const RECT& rect, COLORREF color);
    BOOL FillRect(const RECT& rect, HBRUSH brush) { return ::FillRect(m_hDC, &rect, brush) != 0; }
    BOOL BitBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, DWORD rop)
    {
        return ::BitBlt(m_hDC, x, y, w, h, src->m_hDC, sx, sy, rop);
    }
    BOOL StretchBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, DWORD rop)
    {
        return ::StretchBlt(m_hDC, x, y, w, h, src->m_hDC, sx, sy, sw, sh, rop);
    }
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
    BOOL Rectangle(const RECT& r) { return ::Rectangle(m_hDC, r.left, r.top, r.right, r.bottom); }

    HDC m_hDC;

protected:
    bool m_bOwned;

private:
    enum { kPen, kBrush, kBitmap, kFont, kKinds };
    HGDIOBJ m_hOldObjects[kKinds];
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};
