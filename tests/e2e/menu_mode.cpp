// The menu's two command states, as the journeys check them.
#include "menu_mode.h"

#include "resources/resource_ids.h"

namespace e2e {
namespace {

struct CommandState {
    UINT id;
    const char *name;
    bool greyWhenBrowsing;
    bool greyWhenEditing;
};

const CommandState kCommandStates[] = {
    {IDM_NEW, "Nuevo", false, false},
    {IDM_SAVE_RECIPE, "Grabar Receta", true, false},
    {IDM_SEARCH_RECIPE, "Buscar Receta", false, true},
    {IDM_AUTHOR, "Autor", false, false},
    {IDM_EXIT, "Salir", false, false},
    {IDM_INSERT_DISH_CATEGORY, "Insertar Plato y Categoria", true, false},
    {IDM_INSERT_INGREDIENTS, "Insertar Ingredientes", true, false},
    {IDM_INSERT_ELABORATION, "Insertar Elaboracion", true, false},
    {IDM_INSERT_PICTURE, "Insertar Imagen", true, false},
};

} // namespace

std::string MenuModeMismatches(const MenuBar &bar, MenuMode mode) {
    if (!bar.present) {
        return "the window has no menu bar\n";
    }
    std::string mismatches;
    for (const CommandState &command : kCommandStates) {
        const bool expectGrey = mode == MenuMode::Browsing ? command.greyWhenBrowsing : command.greyWhenEditing;
        const MenuItem *item = FindMenuItem(bar, command.id);
        if (item == nullptr) {
            mismatches += std::string(command.name) + ": missing\n";
        } else if (item->grey != expectGrey) {
            mismatches += std::string(command.name) + (item->grey ? ": grey" : ": enabled") + ", expected " +
                          (expectGrey ? "grey" : "enabled") + "\n";
        }
    }
    return mismatches;
}

std::string WaitForMenuMode(AppProcess &app, HWND window, MenuMode mode, DWORD timeoutMs) {
    std::string mismatches = "the menu was never read";
    WaitUntil(
        [&] {
            std::optional<MenuBar> bar = ReadMenu(app, window);
            mismatches = bar ? MenuModeMismatches(*bar, mode) : "menu probe: " + LastError();
            return mismatches.empty() || !bar;
        },
        timeoutMs, 50);
    return mismatches;
}

} // namespace e2e
