// menu_probe.dll: loaded by the end-to-end driver into the program under test, because a menu can
// only be read from inside the process that owns it under Wine (another process sees a handle whose
// items all fail). The driver starts a thread at MenuQueryThread with the address of a
// MenuProbeBlock that it wrote into this process; the thread fills it in and ends, and the driver
// reads the block back. The probe only reads; it never changes a menu.
#include "menu_probe_protocol.h"

#include <windows.h>

#include <algorithm>

namespace {

// Reads one item; returns false when the platform refuses to describe it.
bool ReadItem(HMENU menu, UINT position, MenuProbeItem &out) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_STRING | MIIM_BITMAP;
    info.dwTypeData = out.text;
    info.cch = kMenuProbeTextLength - 1;
    if (!GetMenuItemInfoW(menu, position, TRUE, &info)) {
        return false;
    }
    out.text[kMenuProbeTextLength - 1] = L'\0';
    if (info.dwTypeData == nullptr || (info.fType & MFT_SEPARATOR) != 0) {
        out.text[0] = L'\0';
    }
    out.position = position;
    out.id = info.wID;
    out.type = info.fType;
    out.state = info.fState;
    out.hasSubMenu = info.hSubMenu != nullptr ? 1 : 0;
    out.hasCheckedBitmap = info.hbmpChecked != nullptr ? 1 : 0;
    out.hasUncheckedBitmap = info.hbmpUnchecked != nullptr ? 1 : 0;
    out.hasItemBitmap = info.hbmpItem != nullptr ? 1 : 0;
    return true;
}

// Appends one item to the block; false when the block is full.
bool Append(MenuProbeBlock &block, const MenuProbeItem &item) {
    if (block.count >= kMenuProbeMaxItems) {
        block.status = kMenuProbeTooManyItems;
        return false;
    }
    block.items[block.count++] = item;
    return true;
}

DWORD Query(MenuProbeBlock &block) {
    HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(block.window));
    if (!IsWindow(window)) {
        block.status = kMenuProbeNoWindow;
        return block.status;
    }
    HMENU bar = GetMenu(window);
    block.menuPresent = bar != nullptr ? 1 : 0;
    block.status = kMenuProbeOk;
    if (bar == nullptr) {
        return block.status;
    }
    const int barCount = GetMenuItemCount(bar);
    for (int i = 0; i < barCount; ++i) {
        MenuProbeItem top = {};
        top.level = 0;
        top.popup = static_cast<std::uint32_t>(i);
        if (!ReadItem(bar, static_cast<UINT>(i), top)) {
            block.status = kMenuProbeItemUnreadable;
            return block.status;
        }
        if (!Append(block, top)) {
            return block.status;
        }
        HMENU popup = GetSubMenu(bar, i);
        if (popup == nullptr) {
            continue;
        }
        const int popupCount = GetMenuItemCount(popup);
        for (int j = 0; j < popupCount; ++j) {
            MenuProbeItem item = {};
            item.level = 1;
            item.popup = static_cast<std::uint32_t>(i);
            if (!ReadItem(popup, static_cast<UINT>(j), item)) {
                block.status = kMenuProbeItemUnreadable;
                return block.status;
            }
            if (!Append(block, item)) {
                return block.status;
            }
        }
    }
    return block.status;
}

} // namespace

extern "C" __declspec(dllexport) DWORD WINAPI MenuQueryThread(LPVOID parameter) {
    auto *block = static_cast<MenuProbeBlock *>(parameter);
    if (block == nullptr || block->magic != kMenuProbeMagic) {
        return kMenuProbeBadRequest;
    }
    block->count = 0;
    block->menuPresent = 0;
    return Query(*block);
}

// Where the program's handle tables stand, for the driver's leak checks (GetGuiResources counts
// nothing under Wine). The parameter is a HandleProbeKind, not a pointer. A batch of fresh objects
// fills the free slots first and then takes slots above every live one, so the batch's highest
// slot moves up by one for each object the program holds on to; the batch is freed again.
extern "C" __declspec(dllexport) DWORD WINAPI HandleHighWaterThread(LPVOID parameter) {
    constexpr int kBatch = 3000;
    const auto kind = static_cast<HandleProbeKind>(reinterpret_cast<ULONG_PTR>(parameter));
    DWORD highest = 0;
    if (kind == kHandleProbeGdi) {
        HBRUSH brushes[kBatch];
        for (HBRUSH &brush : brushes) {
            brush = CreateSolidBrush(RGB(1, 2, 3));
            highest = std::max<DWORD>(highest, LOWORD(reinterpret_cast<ULONG_PTR>(brush)));
        }
        for (HBRUSH brush : brushes) {
            DeleteObject(brush);
        }
    } else if (kind == kHandleProbeUser) {
        HMENU menus[kBatch];
        for (HMENU &menu : menus) {
            menu = CreatePopupMenu();
            highest = std::max<DWORD>(highest, LOWORD(reinterpret_cast<ULONG_PTR>(menu)));
        }
        for (HMENU menu : menus) {
            DestroyMenu(menu);
        }
    }
    return highest;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
