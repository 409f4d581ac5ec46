// Reading recipes from what people bring in: web pages saved from a browser (every
// <script type="application/ld+json"> block), schema.org JSON-LD files and our own JSON export.
// A Recipe is found alone, in an array, inside "@graph" or inside another object (a page's
// "mainEntity"). Nothing here touches a file: the caller reads the bytes and resolves pictures.
#pragma once

#include <string>
#include <vector>

// One recipe as found, in UTF-8. Texts have lost their HTML tags and entities and are trimmed;
// lines are the ingredients one by one and the steps one by one (a section's name is a line of its
// own before its steps).
struct FoundRecipe {
    std::string name;
    std::vector<std::string> ingredients;
    std::vector<std::string> steps;
    std::vector<std::string> images; // picture references in the order given (URL, path, data: URI)
    // Candidates for the category, in the order they are tried.
    std::vector<std::string> categories; // recipeCategory
    std::vector<std::string> cuisines;   // recipeCuisine
    std::vector<std::string> keywords;   // keywords
};

enum class SourceProblem {
    None,
    NotJson,  // a JSON file that does not parse
    NoJsonLd, // a page without any ld+json block that parses
    NoRecipe, // JSON-LD without a Recipe in it
};

struct SourceRead {
    SourceProblem problem = SourceProblem::None;
    std::vector<FoundRecipe> recipes;
    int unreadableBlocks = 0; // ld+json blocks of a page that did not parse (others may have)
};

// Reads the recipes of `bytes`: a page when `asHtml`, else a JSON document. Any bytes are accepted
// (invalid UTF-8 included); nesting deeper than a sane limit is not followed.
SourceRead ReadRecipeSource(const std::string &bytes, bool asHtml);

// Whether a file is read as a page: by its extension (.html, .htm, .xhtml in any case), or, for
// other names, when its first character that is not blank is '<'.
bool LooksLikeHtml(const std::string &fileName, const std::string &bytes);

// The text of an HTML fragment, in lines: tags dropped, entities decoded, block elements and <br>
// and line breaks ending lines, each line trimmed, empty lines left out. Text without '<' or '&'
// is only split and trimmed.
std::vector<std::string> TextLinesOfHtml(const std::string &fragment);
