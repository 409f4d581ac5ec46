// Checking and saving the recipe being edited, with the messages the user sees (caption
// "Programador", OK only, no icon, no owner) and the progress window while the picture is saved.
#ifndef GUISLA_STATE_SAVE_RECIPE_H
#define GUISLA_STATE_SAVE_RECIPE_H

#include "state/recipe.h"
#include "store/save.h"

#include <string>

// The messages of a save.
extern const wchar_t kNoDatabaseMessage[];
extern const wchar_t kRefusedMessage[];
extern const wchar_t kSavedMessage[];
extern const wchar_t kMessageCaption[];

// Reloads the schema and checks the recipe's four texts (CheckRecipeValues). Shows
// "No existe Base de Datos ..." itself when the result is NoDatabase; nothing otherwise.
SaveOutcome CheckRecipe(const Recipe &recipe);

// Saves the recipe as it stands now (a copy is taken first), with the progress window while the
// picture is written and messages pumped now and then. Returns true when the recipe is stored
// and on disk. Otherwise the data file is as it was, the reason has been shown ("No existe Base
// de Datos ...", the picture that cannot be read, the data file busy or full or failing), and
// the caller keeps the recipe for another try.
bool SaveRecipe(const Recipe &recipe);

// The message SaveRecipe shows for a failed result ("" for Saved).
std::wstring SaveFailureMessage(SaveResult result);

#endif
