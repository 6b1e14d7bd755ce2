#pragma once
// Message maps: one table per class, chained to the base class's table. Each entry cracks
// wParam/lParam once, here, and calls a typed member handler; call sites need no casts.
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <vector>

class CCmdTarget;

namespace afx {

struct MessageEntry {
    enum Kind { Message, Command, Notify, CtlColor, Registered };
    Kind kind;
    UINT message;  // Message: the window message
    UINT id;       // Command, Notify: the control or command id
    UINT code;     // Command: the notification code (0 for menus and BN_CLICKED); Notify: NMHDR code
    std::function<LRESULT(CCmdTarget*, UINT, WPARAM, LPARAM)> call;
    // Registered: the variable RegisterWindowMessage's value lands in, read at each message;
    // while it is still 0 the entry answers nothing.
    const UINT* registered = nullptr;
};

struct MessageMap {
    MessageMap(const MessageMap* baseMap, std::initializer_list<MessageEntry> list) : base(baseMap), entries(list) {}
    const MessageMap* base;
    std::vector<MessageEntry> entries;
};

// Finds the first entry for a message, walking from the most derived table to the base.
const MessageEntry* FindMessageEntry(const MessageMap* map, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace afx

class CCmdTarget {
public:
    virtual ~CCmdTarget() {}
    virtual const afx::MessageMap* GetMessageMap() const { return GetThisMessageMap(); }
    // Runs the handler mapped for the message, if any. Returns FALSE when none is mapped.
    BOOL DispatchMapped(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

protected:
    static const afx::MessageMap* GetThisMessageMap();
};

#define DECLARE_MESSAGE_MAP()                            \
protected:                                               \
    static const ::afx::MessageMap* GetThisMessageMap(); \
    const ::afx::MessageMap* GetMessageMap() const override;

// The two halves of one function around the entries, kept as they read.
// clang-format off
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                            \
    const ::afx::MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const ::afx::MessageMap* theClass::GetThisMessageMap()                                \
    {                                                                                     \
        using ThisClass [[maybe_unused]] = theClass;                                      \
        static const ::afx::MessageMap map(baseClass::GetThisMessageMap(), {

#define END_MESSAGE_MAP() \
        });               \
        return &map;      \
    }
// clang-format on
