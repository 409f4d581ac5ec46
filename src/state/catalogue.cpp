// The 29 categories. Names are Windows-1252 bytes: the store keeps and compares them so.
#include "state/catalogue.h"

#include "resources/resource_ids.h"

CategoryTables CategoryCatalogue;

namespace {

struct CategoryRow {
    const char *displayName;
    int picture;
};

// Split literals keep a hex escape from swallowing the letter after it ("\xED" "a").
const CategoryRow kCategories[kCategoryCount] = {
    {"Aperitivos", IDB_APERITIVOS},
    {"Platos fr\xEDos", IDB_COLD_DISHES},
    {"Ensaladas", IDB_COLD_DISHES},
    {"Tartas saladas", IDB_COLD_DISHES},
    {"Frituras", IDB_FRIED},
    {"Salsas", IDB_SAUCES},
    {"Potajes", IDB_STEWS},
    {"Sopas", IDB_SOUPS},
    {"Cremas", IDB_SOUPS},
    {"Pur\xE9s", IDB_SOUPS},
    {"Arroz", IDB_GENERAL},
    {"Patatas", IDB_GENERAL},
    {"Pastas", IDB_PASTA},
    {"Legumbres", IDB_STEWS},
    {"Verduras", IDB_GENERAL},
    {"Setas", IDB_GENERAL},
    {"Huevos", IDB_FRIED},
    {"Sufl\xE9s", IDB_SAUCES},
    {"Flanes", IDB_SAUCES},
    {"Pescados", IDB_FISH},
    {"Mariscos", IDB_GENERAL},
    {"Carnes", IDB_GENERAL},
    {"Cordero", IDB_GENERAL},
    {"Aves", IDB_POULTRY},
    {"Caza", IDB_POULTRY},
    {"Casquer\xED"
     "a",
     IDB_COLD_DISHES},
    {"Reposter\xED"
     "a",
     IDB_PASTRY},
    {"Cockteles", IDB_COCKTAILS},
    {"Boller\xED"
     "a",
     IDB_BUNS},
};

} // namespace

void FillCategoryCatalogue() {
    for (int n = 1; n <= kCategoryCount; ++n) {
        CategoryCatalogue.displayName[n] = kCategories[n - 1].displayName;
        CategoryCatalogue.pictureName[n] = "#" + std::to_string(kCategories[n - 1].picture);
    }
}

int CategoryPictureResource(int number) {
    return number >= 1 && number <= kCategoryCount ? kCategories[number - 1].picture : 0;
}

std::string CategoryEntryText(int number) {
    if (number < 1 || number > kCategoryCount) {
        return {};
    }
    std::string text;
    text += static_cast<char>('0' + number / 10);
    text += static_cast<char>('0' + number % 10);
    text += " - ";
    text += kCategories[number - 1].displayName;
    return text;
}

int CategoryNumberFromEntryText(const std::string &text) {
    int value = 0;
    for (size_t i = 0; i < text.size() && i < 2 && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return value;
}
