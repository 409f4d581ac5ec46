// The category catalogue's names (exact Windows-1252 bytes), pictures and entry texts.
#include "state/catalogue.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class Catalogue : public testing::Test {
protected:
    void SetUp() override { FillCategoryCatalogue(); }
};

TEST_F(Catalogue, HoldsTheTwentyNineNamesByteForByte) {
    const char *const expected[kCategoryCount + 1] = {"",
                                                      "Aperitivos",
                                                      "Platos fr\xEDos",
                                                      "Ensaladas",
                                                      "Tartas saladas",
                                                      "Frituras",
                                                      "Salsas",
                                                      "Potajes",
                                                      "Sopas",
                                                      "Cremas",
                                                      "Pur\xE9s",
                                                      "Arroz",
                                                      "Patatas",
                                                      "Pastas",
                                                      "Legumbres",
                                                      "Verduras",
                                                      "Setas",
                                                      "Huevos",
                                                      "Sufl\xE9s",
                                                      "Flanes",
                                                      "Pescados",
                                                      "Mariscos",
                                                      "Carnes",
                                                      "Cordero",
                                                      "Aves",
                                                      "Caza",
                                                      "Casquer\xED"
                                                      "a",
                                                      "Reposter\xED"
                                                      "a",
                                                      "Cockteles",
                                                      "Boller\xED"
                                                      "a"};
    for (int n = 1; n <= kCategoryCount; ++n) {
        EXPECT_EQ(CategoryCatalogue.displayName[n], expected[n]) << n;
    }
    EXPECT_EQ(CategoryCatalogue.displayName[2].size(), 12u) << "one byte per accented letter";
    EXPECT_EQ(CategoryCatalogue.displayName[4].size(), 14u) << "the longest name";
    EXPECT_EQ(CategoryCatalogue.displayName[26], std::string("Casquer\xED") + "a");
}

TEST_F(Catalogue, PicturesAreSharedAsTheTableSays) {
    const int expected[kCategoryCount + 1] = {0,   300, 301, 301, 301, 302, 303, 304, 313, 313,
                                              313, 305, 305, 306, 304, 305, 305, 302, 303, 303,
                                              307, 305, 305, 305, 308, 308, 301, 309, 310, 311};
    std::map<int, int> uses;
    for (int n = 1; n <= kCategoryCount; ++n) {
        EXPECT_EQ(CategoryPictureResource(n), expected[n]) << n;
        EXPECT_EQ(CategoryCatalogue.pictureName[n], "#" + std::to_string(expected[n])) << n;
        ++uses[expected[n]];
    }
    EXPECT_EQ(uses[305], 7);
    EXPECT_EQ(uses[301], 4);
    EXPECT_EQ(uses.count(312), 0u) << "the ingredients emblem belongs to no category";
    EXPECT_EQ(CategoryPictureResource(0), 0);
    EXPECT_EQ(CategoryPictureResource(30), 0);
}

TEST_F(Catalogue, EntryTextsRoundTripToTheirNumbers) {
    EXPECT_EQ(CategoryEntryText(1), "01 - Aperitivos");
    EXPECT_EQ(CategoryEntryText(7), "07 - Potajes");
    EXPECT_EQ(CategoryEntryText(29), std::string("29 - Boller\xED") + "a");
    EXPECT_EQ(CategoryEntryText(0), "");
    for (int n = 1; n <= kCategoryCount; ++n) {
        EXPECT_EQ(CategoryNumberFromEntryText(CategoryEntryText(n)), n);
    }
    EXPECT_EQ(CategoryNumberFromEntryText("5 - x"), 5) << "leading digits only";
    EXPECT_EQ(CategoryNumberFromEntryText(""), 0);
    EXPECT_EQ(CategoryNumberFromEntryText("x1"), 0);
}

} // namespace
