#pragma once
// Double-byte aware searches in ANSI (code page 932) text. msvcrt's _mbs* functions compare byte
// by byte under Wine, so the framework walks lead bytes itself.
#include <cstddef>

bool MbcsIsLeadByte(unsigned char ch);
// Length in bytes of the character at p (1 or 2; 1 for a lone lead byte before the terminator).
int MbcsCharLength(const char* p);
const char* MbcsFindChar(const char* text, char ch);
const char* MbcsReverseFindChar(const char* text, char ch);
// Finds pattern in text, matching only at character boundaries. An empty pattern matches at text.
const char* MbcsFindString(const char* text, const char* pattern);
// Length of text cut to at most maxBytes without splitting a double-byte character.
size_t MbcsTruncatedLength(const char* text, size_t maxBytes);
