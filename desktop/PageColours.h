#pragma once
// Field colours the pages share: the control page and the exclusion list page paint their edits with them.
#include <windows.h>

const COLORREF kFieldYellow = RGB(255, 255, 180);
const COLORREF kFieldGray = RGB(230, 230, 230);
