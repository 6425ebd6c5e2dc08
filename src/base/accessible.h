// The accessibility (MSAA) view of a window whose controls are drawn, not child windows: screen
// readers and automation tools ask the window with WM_GETOBJECT and read its items as simple
// children of its client object.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One drawn element as assistive tools see it.
struct AccessibleItem {
    int key = 0;    // what the element is, the same in every state: events and actions are matched on it
    long role = 0;  // ROLE_SYSTEM_...
    // STATE_SYSTEM_...; FOCUSED marks the item the window's keyboard focus is on, told to tools only
    // while the window has the focus.
    long state = 0;
    std::wstring name;
    std::wstring value;
    std::wstring defaultAction;     // empty: the element has none
    RECT bounds{};                  // client pixels
    std::wstring keyboardShortcut;  // the key that acts on the element wherever the focus is; empty: none
};

// What a window tells about itself. Both are called on the window's thread.
struct AccessibleSource {
    // The items in reading order, exactly those drawn now; empty once the window's state is gone.
    std::vector<AccessibleItem> (*items)(HWND window);
    // Whether the item's default action would act now (a click there would not be ignored); the
    // action itself arrives later as WM_ACCESSIBLE_ACTION with the key in wParam, so that the
    // assistive tool's call returns before a message box or picker opens. While the window is disabled
    // (a message box or picker it owns is open) no action is taken, whatever this says.
    bool (*canAct)(HWND window, int key);
};

constexpr UINT WM_ACCESSIBLE_ACTION = WM_APP + 20;

// The answer to WM_GETOBJECT: the window's client object for OBJID_CLIENT, 0 for anything else.
LRESULT answerGetObject(HWND window, WPARAM flags, LPARAM objectId, const AccessibleSource* source);
// Raises a reorder when items came or went, the name, value and state change events for what differs
// from the items announced last, an alert for an alert item that appeared or took another name, and a
// focus event when the focus moved while the window has the keyboard focus; then remembers the new items.
// The first call only remembers.
void announceChanges(HWND window, std::vector<AccessibleItem>& announced, std::vector<AccessibleItem> now);
// Tells tools which item has the focus, for a window that has just gained it (the system announces only
// the window itself).
void announceFocus(HWND window, const std::vector<AccessibleItem>& items);
