// The category catalogue: the 29 fixed recipe categories, each with its number (its place in
// the table), its display name (Windows-1252 bytes, as stored and compared) and its picture.
#ifndef GUISLA_STATE_CATALOGUE_H
#define GUISLA_STATE_CATALOGUE_H

#include <array>
#include <string>

constexpr int kCategoryCount = 29;

// Two parallel tables indexed by category number 1..29 (index 0 unused).
struct CategoryTables {
    std::array<std::string, kCategoryCount + 1> displayName;
    std::array<std::string, kCategoryCount + 1> pictureName; // "#300" .. "#313"
};

// Process-wide; empty until FillCategoryCatalogue runs at main window initialisation.
extern CategoryTables CategoryCatalogue;

// Sets both tables for numbers 1 to 29.
void FillCategoryCatalogue();

// The bitmap resource number of a category's picture (300..313); 0 outside 1..29.
int CategoryPictureResource(int number);

// The text of a category list entry: the number with two digits, " - ", the display name
// ("01 - Aperitivos"). Empty outside 1..29.
std::string CategoryEntryText(int number);

// The numeric value of the leading decimal digits among the first two characters of an entry
// text ("07 - Potajes" gives 7); 0 when it starts with no digit.
int CategoryNumberFromEntryText(const std::string &text);

#endif
