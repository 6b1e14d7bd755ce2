// Text of test values for failure messages and comparisons: lists, file bytes, byte codes; and a
// whole file read or written at once.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

inline std::string Join(const std::vector<std::string>& parts)
{
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : ", ") + p;
    return out;
}

// Bytes as C escapes, so a failing comparison shows CR, LF, tabs and double-byte codes; with
// lineBreaks, each LF also ends a line, for files of many lines.
inline std::string Escaped(const std::string& bytes, bool lineBreaks = false)
{
    std::string out;
    for (unsigned char ch : bytes) {
        if (ch == '\r') {
            out += "\\r";
        } else if (ch == '\n') {
            out += lineBreaks ? "\\n\n" : "\\n";
        } else if (ch == '\t') {
            out += "\\t";
        } else if (ch < 0x20 || ch >= 0x7f) {
            char hex[8];
            wsprintfA(hex, "\\x%02X", ch);
            out += hex;
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out;
}

// The whole file, or "<missing>" when it cannot be opened; it never keeps others from writing it.
inline std::string FileBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

// Replaces the file with bytes; false when it cannot be created.
inline bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// The bytes of s as hex pairs, "95 5C 8E A6".
inline std::string HexBytes(const char* s)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
        if (!out.empty())
            out += ' ';
        out += digits[*p >> 4];
        out += digits[*p & 15];
    }
    return out;
}
