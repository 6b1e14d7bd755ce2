#include "framework/Mbcs.h"

#include <windows.h>
#include <cstring>

bool MbcsIsLeadByte(unsigned char ch)
{
    return ch >= 0x80 && IsDBCSLeadByte(ch);
}

int MbcsCharLength(const char* p)
{
    return (MbcsIsLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

const char* MbcsFindChar(const char* text, char ch)
{
    for (const char* p = text; *p; p += MbcsCharLength(p)) {
        if (*p == ch)
            return p;
    }
    return nullptr;
}

const char* MbcsReverseFindChar(const char* text, char ch)
{
    const char* found = nullptr;
    for (const char* p = text; *p; p += MbcsCharLength(p)) {
        if (*p == ch)
            found = p;
    }
    return found;
}

const char* MbcsFindString(const char* text, const char* pattern)
{
    const size_t n = std::strlen(pattern);
    if (n == 0)
        return text;
    for (const char* p = text; *p; p += MbcsCharLength(p)) {
        if (std::strncmp(p, pattern, n) != 0)
            continue;
        // The match must also end on a character boundary of the text.
        const char* end = p;
        while (end < p + n)
            end += MbcsCharLength(end);
        if (end == p + n)
            return p;
    }
    return nullptr;
}

size_t MbcsTruncatedLength(const char* text, size_t maxBytes)
{
    size_t len = 0;
    for (const char* p = text; *p;) {
        const int step = MbcsCharLength(p);
        if (len + step > maxBytes)
            break;
        len += step;
        p += step;
    }
    return len;
}
