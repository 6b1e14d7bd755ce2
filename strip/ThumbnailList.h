#pragma once
// The control page's thumbnail list as plain values: the handle text that links a row to its slot,
// and the slot swaps that carry out a move.
#include <windows.h>

#include <utility>
#include <vector>

#include "framework/String.h"

// "0x%08x" of the handle: the list's third column.
CString HandleText(HWND hwnd);
// The handle a row's third column names: "0x" and one to eight hexadecimal digits, nothing else,
// sign-extended as the system widens a 32-bit handle value. Null for any other text and for 0.
HWND ParseHandleText(const char* text);

enum MoveKind { kMoveFirst, kMoveUp, kMoveDown, kMoveLast };

// The swaps, in order, that move the thumbnail of used slot `from` as kind says: each trades places
// with the nearest used slot before (or after) it; free slots are passed over and stay free. Empty
// when `from` is not a used slot or the thumbnail cannot move that way.
std::vector<std::pair<int, int>> PlanMove(const std::vector<int>& used, int from, MoveKind kind);
