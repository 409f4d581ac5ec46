// The menu bar and the command states.
#include "state/main_menu.h"

#include "resources/resource_ids.h"

#include <iterator>

HMENU currentMenuBar = nullptr;

namespace {

struct MenuRow {
    const wchar_t *text; // "-" is a separator
    UINT id;
    int bitmap; // 0 for none
};

const MenuRow kFileMenu[] = {
    {L"Nuevo", IDM_NEW, IDB_MENU_NEW},
    {L"-", 0, 0},
    {L"Grabar Receta", IDM_SAVE_RECIPE, IDB_MENU_SAVE},
    {L"-", 0, 0},
    {L"Buscar Receta", IDM_SEARCH_RECIPE, IDB_MENU_SEARCH},
    {L"-", 0, 0},
    {L"Autor", IDM_AUTHOR, IDB_MENU_AUTHOR},
    {L"-", 0, 0},
    {L"Salir", IDM_EXIT, IDB_MENU_EXIT},
};

const MenuRow kRecipesMenu[] = {
    {L"Insertar Plato y Categoria", IDM_INSERT_DISH_CATEGORY, IDB_MENU_DISH_CATEGORY},
    {L"Insertar Ingredientes", IDM_INSERT_INGREDIENTS, IDB_MENU_INGREDIENTS},
    {L"Insertar Elaboraci\u00F3n", IDM_INSERT_ELABORATION, IDB_MENU_ELABORATION},
    {L"Insertar Imagen", IDM_INSERT_PICTURE, IDB_MENU_PICTURE},
};

const UINT kEditingCommands[] = {IDM_SAVE_RECIPE, IDM_INSERT_DISH_CATEGORY, IDM_INSERT_INGREDIENTS,
                                 IDM_INSERT_ELABORATION, IDM_INSERT_PICTURE};

// The menu pictures are loaded once and kept for the whole run: rebuilding the bar after every
// save and every opened recipe then costs no new GDI objects.
HBITMAP MenuBitmap(int resource) {
    static HBITMAP bitmaps[IDB_MENU_PICTURE - IDB_MENU_NEW + 1] = {};
    HBITMAP &slot = bitmaps[resource - IDB_MENU_NEW];
    if (slot == nullptr) {
        char name[8] = "#";
        wsprintfA(name + 1, "%d", resource);
        // 0x4000 (LR_COPYFROMRESOURCE) as the menu has always asked; a plain device bitmap results.
        slot = static_cast<HBITMAP>(LoadImageA(GetModuleHandleW(nullptr), name, IMAGE_BITMAP, 0, 0, 0x4000));
    }
    return slot;
}

void AppendItems(HMENU popup, const MenuRow *rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        const bool separator = rows[i].text[0] == L'-' && rows[i].text[1] == L'\0';
        item.fType = separator ? MFT_SEPARATOR : MFT_STRING;
        item.fState = MFS_ENABLED;
        item.wID = rows[i].id;
        item.dwTypeData = const_cast<wchar_t *>(rows[i].text);
        InsertMenuItemW(popup, static_cast<UINT>(i), TRUE, &item);
    }
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].bitmap != 0) {
            HBITMAP bitmap = MenuBitmap(rows[i].bitmap);
            if (bitmap != nullptr) {
                SetMenuItemBitmaps(popup, static_cast<UINT>(i), MF_BYPOSITION, bitmap, bitmap);
            }
        }
    }
}

void AppendPopup(HMENU bar, HMENU popup, const wchar_t *text) {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
    item.fType = MFT_STRING;
    item.hSubMenu = popup;
    item.dwTypeData = const_cast<wchar_t *>(text);
    InsertMenuItemW(bar, GetMenuItemCount(bar), TRUE, &item);
}

void SetCommandState(UINT id, UINT state) {
    if (currentMenuBar == nullptr) {
        return;
    }
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE;
    item.fState = state;
    SetMenuItemInfoW(currentMenuBar, id, FALSE, &item);
}

} // namespace

HMENU BuildMainMenu(HWND mainWindow) {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendPopup(bar, file, L"Archivos");
    AppendItems(file, kFileMenu, std::size(kFileMenu));
    HMENU recipes = CreatePopupMenu();
    AppendPopup(bar, recipes, L"Recetas");
    AppendItems(recipes, kRecipesMenu, std::size(kRecipesMenu));

    HMENU previous = currentMenuBar;
    SetMenu(mainWindow, bar);
    currentMenuBar = bar;
    if (previous != nullptr && previous != bar && GetMenu(mainWindow) != previous) {
        DestroyMenu(previous); // also destroys its popups; the shared bitmaps stay
    }
    return bar;
}

void LockEditingCommands() {
    for (UINT id : kEditingCommands) {
        SetCommandState(id, MFS_GRAYED);
    }
}

void UnlockEditingCommands() {
    for (UINT id : kEditingCommands) {
        SetCommandState(id, MFS_ENABLED);
    }
    SetCommandState(IDM_SEARCH_RECIPE, MFS_GRAYED);
}

void RemoveMainMenu(HWND mainWindow) {
    SetMenu(mainWindow, nullptr);
}
