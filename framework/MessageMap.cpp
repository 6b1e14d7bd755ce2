#include "framework/MessageMap.h"

namespace afx {

namespace {

bool Matches(const MessageEntry& e, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (e.kind) {
        case MessageEntry::Message:
            return e.message == message;
        case MessageEntry::Command:
            // A command entry (code 0) answers menus and accelerators (code 1) alike.
            return message == WM_COMMAND && e.id == LOWORD(wParam) &&
                   (e.code == HIWORD(wParam) || (e.code == 0 && HIWORD(wParam) == 1));
        case MessageEntry::Notify: {
            if (message != WM_NOTIFY || !lParam)
                return false;
            const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
            return e.id == hdr->idFrom && e.code == hdr->code;
        }
        case MessageEntry::CtlColor:
            return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
        case MessageEntry::Registered:
            return e.registered && *e.registered != 0 && *e.registered == message;
    }
    return false;
}

}  // namespace

const MessageEntry* FindMessageEntry(const MessageMap* map, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (; map; map = map->base) {
        for (const MessageEntry& e : map->entries) {
            if (Matches(e, message, wParam, lParam))
                return &e;
        }
    }
    return nullptr;
}

}  // namespace afx

const afx::MessageMap* CCmdTarget::GetThisMessageMap()
{
    static const afx::MessageMap map(nullptr, {});
    return &map;
}

BOOL CCmdTarget::DispatchMapped(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const afx::MessageEntry* e = afx::FindMessageEntry(GetMessageMap(), message, wParam, lParam);
    if (!e)
        return FALSE;
    const LRESULT r = e->call(this, message, wParam, lParam);
    if (result)
        *result = r;
    return TRUE;
}
