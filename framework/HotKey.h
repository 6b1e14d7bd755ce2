#pragma once
// A hot key registered for a window, unregistered once by Unregister or by the destructor.
#include <windows.h>

class CHotKeyRegistration {
public:
    CHotKeyRegistration() = default;
    ~CHotKeyRegistration() { Unregister(); }
    CHotKeyRegistration(const CHotKeyRegistration&) = delete;
    CHotKeyRegistration& operator=(const CHotKeyRegistration&) = delete;

    // Registers the key for owner under id. The owner and id are kept even when the key is taken,
    // so that Unregister still clears the id of an earlier registration.
    BOOL Register(HWND owner, int id, UINT modifiers, UINT vk)
    {
        m_owner = owner;
        m_id = id;
        return ::RegisterHotKey(owner, id, modifiers, vk);
    }

    // Unregisters the id of the last owner; nothing when no key was ever asked for.
    void Unregister()
    {
        if (m_owner)
            ::UnregisterHotKey(m_owner, m_id);
        m_owner = nullptr;
    }

private:
    HWND m_owner = nullptr;
    int m_id = 0;
};
