// The block that the end-to-end driver and the menu probe (menu_probe.dll, loaded into the program
// under test) exchange through the program's memory. Both sides are 64-bit builds of this header, so
// the layout is plain fixed-size fields; no pointers cross the process boundary except the window
// handle, carried as a 64-bit number.
#ifndef GUISLA_TESTS_E2E_MENU_PROBE_PROTOCOL_H
#define GUISLA_TESTS_E2E_MENU_PROBE_PROTOCOL_H

#include <cstdint>

constexpr std::uint32_t kMenuProbeMagic = 0x4D505231; // "MPR1"
constexpr std::uint32_t kMenuProbeMaxItems = 96;
constexpr std::uint32_t kMenuProbeTextLength = 96; // UTF-16 code units, NUL included

// Filled in by the probe.
enum MenuProbeStatus : std::uint32_t {
    kMenuProbeNotRun = 0,
    kMenuProbeOk = 1,
    kMenuProbeNoWindow = 2, // the window handle does not name a window of the program
    kMenuProbeBadRequest = 3,
    kMenuProbeTooManyItems = 4, // the first kMenuProbeMaxItems items were read
    kMenuProbeItemUnreadable = 5,
};

struct MenuProbeItem {
    std::uint32_t level;    // 0: an item of the bar, 1: an item of a popup of the bar
    std::uint32_t popup;    // position of the bar item that this item belongs to (its own for level 0)
    std::uint32_t position; // position within its menu
    std::uint32_t id;       // wID
    std::uint32_t type;     // fType (MFT_SEPARATOR, MFT_STRING, ...)
    std::uint32_t state;    // fState (MFS_GRAYED, MFS_CHECKED, ...)
    std::uint32_t hasSubMenu;
    std::uint32_t hasCheckedBitmap;   // hbmpChecked is set
    std::uint32_t hasUncheckedBitmap; // hbmpUnchecked is set
    std::uint32_t hasItemBitmap;      // hbmpItem is set
    wchar_t text[kMenuProbeTextLength];
};

struct MenuProbeBlock {
    std::uint32_t magic;       // in: kMenuProbeMagic
    std::uint32_t status;      // out: MenuProbeStatus
    std::uint64_t window;      // in: the window whose menu bar is read
    std::uint32_t menuPresent; // out: 1 when GetMenu(window) returned a menu
    std::uint32_t count;       // out: items filled in
    MenuProbeItem items[kMenuProbeMaxItems];
};

// The probe's exported thread procedure; its parameter is the block's address in the program.
#define GUISLA_MENU_PROBE_EXPORT "MenuQueryThread"

// The second export: the highest slot that a batch of fresh objects takes in one of the program's
// handle tables (its exit code); the parameter is the kind.
enum HandleProbeKind : std::uint32_t {
    kHandleProbeGdi = 0,  // GDI objects (brushes)
    kHandleProbeUser = 1, // USER objects (menus)
};
#define GUISLA_HANDLE_PROBE_EXPORT "HandleHighWaterThread"

#endif
