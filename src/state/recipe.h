// The one recipe being edited or viewed, process-wide. Texts are byte strings in the ANSI code
// page (the store keeps exactly these bytes); lines are separated by CR LF.
#ifndef GUISLA_STATE_RECIPE_H
#define GUISLA_STATE_RECIPE_H

#include <cstdint>
#include <string>

constexpr size_t kMaxPicturePathBytes = 259;

struct Recipe {
    std::string dishName;
    std::string categoryName;   // a display name of the catalogue
    int32_t categoryNumber = 0; // 0 = never chosen, else 1..29; kept by "Nuevo"
    std::string ingredients;
    std::string elaboration;
    std::string picturePath;      // at most 259 bytes; empty = no picture
    std::wstring picturePathWide; // the same path as chosen, for opening the file
};

extern Recipe currentRecipe;

#endif
