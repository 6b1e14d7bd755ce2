#include "framework/String.h"

#include "framework/Exceptions.h"
#include "framework/Mbcs.h"

#include <cstdio>
#include <cstring>

namespace {

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

char CString::GetAt(int index) const
{
    if (index < 0 || index >= GetLength())
        AfxThrowInvalidArgException();
    return m_s[index];
}

void CString::SetAt(int index, char ch)
{
    if (index < 0 || index >= GetLength())
        AfxThrowInvalidArgException();
    m_s[index] = ch;
}

int CString::Compare(const char* s) const
{
    return std::strcmp(m_s.c_str(), s ? s : "");
}

int CString::CompareNoCase(const char* s) const
{
    const char* a = m_s.c_str();
    const char* b = s ? s : "";
    for (;;) {
        const int la = MbcsCharLength(a);
        const int lb = MbcsCharLength(b);
        if (la == 1 && lb == 1) {
            const unsigned char ca = static_cast<unsigned char>(AsciiLower(*a));
            const unsigned char cb = static_cast<unsigned char>(AsciiLower(*b));
            if (ca != cb)
                return ca < cb ? -1 : 1;
            if (ca == 0)
                return 0;
        } else {
            const int c = std::memcmp(a, b, la < lb ? la : lb);
            if (c != 0)
                return c < 0 ? -1 : 1;
            if (la != lb)
                return la < lb ? -1 : 1;
        }
        a += la;
        b += lb;
    }
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args)
{
    va_list probe;
    va_copy(probe, args);
    const int needed = std::vsnprintf(nullptr, 0, format, probe);
    va_end(probe);
    if (needed < 0)
        AfxThrowInvalidArgException();
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(&out[0], out.size(), format, args);
    out.resize(needed);
    m_s.swap(out);
}

void CString::AppendFormat(const char* format, ...)
{
    CString tail;
    va_list args;
    va_start(args, format);
    tail.FormatV(format, args);
    va_end(args);
    m_s += tail.m_s;
}

int CString::Find(char ch, int start) const
{
    if (start < 0 || start > GetLength())
        return -1;
    const char* p = MbcsFindChar(m_s.c_str() + start, ch);
    return p ? static_cast<int>(p - m_s.c_str()) : -1;
}

int CString::Find(const char* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength())
        return -1;
    const char* p = MbcsFindString(m_s.c_str() + start, sub);
    return p ? static_cast<int>(p - m_s.c_str()) : -1;
}

int CString::ReverseFind(char ch) const
{
    const char* p = MbcsReverseFindChar(m_s.c_str(), ch);
    return p ? static_cast<int>(p - m_s.c_str()) : -1;
}

int CString::Replace(char oldCh, char newCh)
{
    int count = 0;
    for (size_t i = 0; i < m_s.size(); i += MbcsCharLength(m_s.c_str() + i)) {
        if (m_s[i] == oldCh) {
            m_s[i] = newCh;
            ++count;
        }
    }
    return count;
}

int CString::Replace(const char* oldText, const char* newText)
{
    if (!oldText || !*oldText)
        return 0;
    const size_t oldLen = std::strlen(oldText);
    const char* repl = newText ? newText : "";
    std::string out;
    int count = 0;
    const char* p = m_s.c_str();
    const char* end = p + m_s.size();
    while (p < end) {
        const char* hit = MbcsFindString(p, oldText);
        if (!hit) {
            out.append(p, end);
            break;
        }
        out.append(p, hit);
        out += repl;
        p = hit + oldLen;
        ++count;
    }
    if (count)
        m_s.swap(out);
    return count;
}

int CString::Remove(char ch)
{
    std::string out;
    for (size_t i = 0; i < m_s.size();) {
        const int n = MbcsCharLength(m_s.c_str() + i);
        if (!(n == 1 && m_s[i] == ch))
            out.append(m_s, i, n);
        i += n;
    }
    const int removed = GetLength() - static_cast<int>(out.size());
    m_s.swap(out);
    return removed;
}

int CString::Insert(int index, const char* text)
{
    if (index < 0)
        index = 0;
    if (index > GetLength())
        index = GetLength();
    m_s.insert(static_cast<size_t>(index), text ? text : "");
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && index < GetLength() && count > 0)
        m_s.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

CString CString::Left(int count) const
{
    if (count <= 0)
        return CString();
    return CString(m_s.substr(0, static_cast<size_t>(count)).c_str());
}

CString CString::Right(int count) const
{
    if (count <= 0)
        return CString();
    if (count >= GetLength())
        return *this;
    return CString(m_s.substr(m_s.size() - count).c_str());
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    if (first < 0)
        first = 0;
    if (first >= GetLength() || count <= 0)
        return CString();
    CString r;
    r.m_s = m_s.substr(static_cast<size_t>(first), static_cast<size_t>(count));
    return r;
}

CString& CString::MakeUpper()
{
    for (size_t i = 0; i < m_s.size(); i += MbcsCharLength(m_s.c_str() + i))
        m_s[i] = AsciiUpper(m_s[i]);
    return *this;
}

CString& CString::MakeLower()
{
    for (size_t i = 0; i < m_s.size(); i += MbcsCharLength(m_s.c_str() + i))
        m_s[i] = AsciiLower(m_s[i]);
    return *this;
}

CString& CString::Trim()
{
    return TrimRight().TrimLeft();
}

CString& CString::TrimLeft()
{
    size_t i = 0;
    while (i < m_s.size() && IsBlank(m_s[i]))
        ++i;
    m_s.erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    // Walk forward so a trail byte that equals a blank's code is never cut.
    size_t keep = 0;
    for (size_t i = 0; i < m_s.size(); i += MbcsCharLength(m_s.c_str() + i)) {
        if (!(IsBlank(m_s[i]) && MbcsCharLength(m_s.c_str() + i) == 1))
            keep = i + MbcsCharLength(m_s.c_str() + i);
    }
    m_s.resize(keep);
    return *this;
}

char* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_s.resize(static_cast<size_t>(minLength));
    return &m_s[0];
}

char* CString::GetBufferSetLength(int length)
{
    m_s.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return &m_s[0];
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        newLength = static_cast<int>(std::strlen(m_s.c_str()));
    if (newLength > GetLength())
        newLength = GetLength();
    m_s.resize(static_cast<size_t>(newLength));
}

BOOL CString::LoadString(UINT id)
{
    char buffer[1024];
    const int n = ::LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof(buffer));
    if (n <= 0) {
        Empty();
        return FALSE;
    }
    m_s.assign(buffer, static_cast<size_t>(n));
    return TRUE;
}
