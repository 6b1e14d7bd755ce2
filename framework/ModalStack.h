#pragma once
// The modal loops running now on the user-interface thread, outermost first: the framework's
// modal dialogs and the message boxes shown through it. A dialog that ends takes every loop opened
// inside it along, boxes included; otherwise its own loop could not return until the user closed
// them (an exit would hide the dialog and leave the process running behind a box).
#include <windows.h>

class CDialog;

// Shows a message box owned by owner and waits for its answer. A box that an outer dialog's end
// takes along answers DismissedBoxAnswer(type).
int AfxRunMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// The answer of a box closed without the user: the one that acts on nothing (OK for a box that has
// only OK, No for Yes/No, otherwise Cancel).
int DismissedBoxAnswer(UINT type);

namespace afx {

void PushModalDialog(CDialog* dialog);
void PopModalDialog(CDialog* dialog);
// Ends every dialog and box opened inside dialog's loop: dialogs with IDCANCEL, boxes with their
// dismissed answer. Nothing when dialog is not on the stack.
void EndModalsInside(CDialog* dialog);

}  // namespace afx
