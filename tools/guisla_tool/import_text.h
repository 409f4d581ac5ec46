// Text brought in: UTF-8 into the store's Windows-1252, and the names people give categories
// mapped onto the catalogue.
#pragma once

#include <string>
#include <vector>

// What a conversion to Windows-1252 had to change.
struct Cp1252Report {
    std::vector<std::string> transliterated; // "⅓ → 1/3", each character once
    std::vector<std::string> lost;           // characters written as "?", each once (UTF-8)
};

// UTF-8 as Windows-1252: every character the code page holds becomes its byte (the five bytes it
// leaves unassigned come back from the control characters of the same number, as Windows converts
// them); others are transliterated (fractions, dashes and spaces, quotes, ligatures, letters with
// marks the code page lacks), and the rest become "?" (also each byte of invalid UTF-8). Characters
// that carry nothing visible (zero-width spaces, the byte order mark) are dropped.
std::string Utf8ToCp1252(const std::string &utf8, Cp1252Report &report);

// The catalogue number (1..29) for a category-like name in Spanish or English, singular or
// plural, with or without accents, in any case ("Sopa", "soups", "Arroces", "Rice", "Postres");
// 0 when the table does not know it.
int CategoryNumberForName(const std::string &utf8);
