// UTF-8 into Windows-1252 with transliteration, and the table of category names.
#include "guisla_tool/import_text.h"

#include <algorithm>
#include <map>

#include "guisla_tool/text_out.h"

namespace {

// Replacements, as Windows-1252 bytes, for characters the code page lacks.
struct Replacement {
    uint32_t codePoint;
    const char *bytes;
};
const Replacement kReplacements[] = {
    // Fractions (½ ¼ ¾ are in the code page).
    {0x2150, "1/7"},
    {0x2151, "1/9"},
    {0x2152, "1/10"},
    {0x2153, "1/3"},
    {0x2154, "2/3"},
    {0x2155, "1/5"},
    {0x2156, "2/5"},
    {0x2157, "3/5"},
    {0x2158, "4/5"},
    {0x2159, "1/6"},
    {0x215A, "5/6"},
    {0x215B, "1/8"},
    {0x215C, "3/8"},
    {0x215D, "5/8"},
    {0x215E, "7/8"},
    {0x2189, "0/3"},
    {0x2044, "/"},
    {0x2215, "/"},
    // Dashes, quotes and primes (– — ‘ ’ “ ” are in the code page).
    {0x2010, "-"},
    {0x2011, "-"},
    {0x2012, "-"},
    {0x2015, "\x97"},
    {0x2043, "-"},
    {0x2212, "-"},
    {0x201B, "'"},
    {0x201F, "\""},
    {0x2032, "'"},
    {0x2033, "\""},
    {0x2035, "'"},
    {0x02B9, "'"},
    {0x02BC, "'"},
    // Spaces.
    {0x2000, " "},
    {0x2001, " "},
    {0x2002, " "},
    {0x2003, " "},
    {0x2004, " "},
    {0x2005, " "},
    {0x2006, " "},
    {0x2007, " "},
    {0x2008, " "},
    {0x2009, " "},
    {0x200A, " "},
    {0x202F, " "},
    {0x205F, " "},
    {0x3000, " "},
    // Ligatures.
    {0xFB00, "ff"},
    {0xFB01, "fi"},
    {0xFB02, "fl"},
    {0xFB03, "ffi"},
    {0xFB04, "ffl"},
    {0xFB05, "st"},
    {0xFB06, "st"},
    {0x0132, "IJ"},
    {0x0133, "ij"},
    // Letters with marks outside Latin-1 that Spanish and English recipes meet most.
    {0x0218, "S"},
    {0x0219, "s"},
    {0x021A, "T"},
    {0x021B, "t"},
    // Signs.
    {0x2024, "."},
    {0x2025, ".."},
    {0x2027, "\xB7"},
    {0x2190, "<-"},
    {0x2192, "->"},
    {0x2103, "\xB0"
             "C"},
    {0x2109, "\xB0"
             "F"},
    {0x2116, "N\xBA"},
    {0x2248, "~"},
    {0x2264, "<="},
    {0x2265, ">="},
    {0x2715, "x"},
    {0x2716, "x"},
    {0x25CF, "\x95"},
    {0x25E6, "\x95"},
};

// Latin Extended-A (U+0100..U+017F) without its marks; '\0' where the code page has the letter or
// the table above gives it.
const char kLatinExtendedA[] = "AaAaAaCcCcCcCcDd"
                               "DdEeEeEeEeEeGgGg"
                               "GgGgHhHhIiIiIiIi"
                               "Ii\0\0JjKkkLlLlLlL"
                               "lLlNnNnNnnNnOoOo"
                               "Oo\0\0RrRrRrSsSsSs"
                               "\0\0TtTtTtUuUuUuUu"
                               "UuUuWwYy\0ZzZz\0\0s";

bool Dropped(uint32_t c) {
    return c == 0x200B || c == 0x200C || c == 0x200D || c == 0x2060 || c == 0xFEFF;
}

bool IsFraction(uint32_t c) {
    return (c >= 0x2150 && c <= 0x215E) || c == 0x2189;
}

// Decodes one UTF-8 character at `i`; false (and one byte consumed) for an invalid sequence.
bool NextCodePoint(const std::string &s, size_t &i, uint32_t &c) {
    const auto byte = [&s](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    size_t length = 0;
    uint32_t minimum = 0;
    if (b0 < 0x80) {
        c = b0;
        ++i;
        return true;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1F;
        minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0F;
        minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07;
        minimum = 0x10000;
    } else {
        ++i;
        return false;
    }
    if (i + length > s.size()) {
        ++i;
        return false;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return false;
    }
    i += length;
    return true;
}

void NoteOnce(std::vector<std::string> &list, const std::string &entry) {
    if (std::find(list.begin(), list.end(), entry) == list.end()) {
        list.push_back(entry);
    }
}

const std::map<uint32_t, char> &HighBytes() {
    static const std::map<uint32_t, char> table = [] {
        std::map<uint32_t, char> bytes;
        for (unsigned b = 0x80; b <= 0x9F; ++b) {
            bytes[Cp1252CodePoint(static_cast<unsigned char>(b))] = static_cast<char>(b);
        }
        return bytes;
    }();
    return table;
}

// ---- Categories ----

// A name folded for comparison: Windows-1252, letters without marks, lower case, runs of blanks,
// dashes and underscores as one space, trimmed.
std::string Fold(const std::string &utf8) {
    static const char kFolded[] = "aaaaaaaceeeeiiii"
                                  "dnoooooxouuuuy?s"
                                  "aaaaaaaceeeeiiii"
                                  "dnooooo/ouuuuy?y";
    Cp1252Report ignored;
    const std::string bytes = Utf8ToCp1252(utf8, ignored);
    std::string folded;
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 0xC0) {
            b = static_cast<unsigned char>(kFolded[b - 0xC0]);
        } else if (b == 0x92 || b == 0x91 || b == 0xB4) {
            b = '\'';
        } else if (b >= 'A' && b <= 'Z') {
            b = static_cast<unsigned char>(b - 'A' + 'a');
        }
        const bool blank = b == ' ' || b == '\t' || b == '-' || b == '_' || b == 0xA0 || b == '\r' || b == '\n';
        if (blank) {
            if (!folded.empty() && folded.back() != ' ') {
                folded.push_back(' ');
            }
        } else {
            folded.push_back(static_cast<char>(b));
        }
    }
    while (!folded.empty() && folded.back() == ' ') {
        folded.pop_back();
    }
    return folded;
}

// Names of each category, folded and singular where a plural is made by adding "s" or "es"
// (other plurals are listed). The catalogue's own names are among them.
struct CategoryNames {
    int number;
    const char *names; // separated by '|'
};
const CategoryNames kCategoryNames[] = {
    {1, "aperitivo|entrante|entrada|tapa|pincho|pintxo|canape|picoteo|appetizer|appetiser|starter|snack|"
        "hors d'oeuvre|finger food|aperitif"},
    {2, "plato frio|platos frios|frio|cold dish|cold dishes|cold plate|cold starter|cold meal"},
    {3, "ensalada|salad"},
    {4, "tarta salada|tartas saladas|quiche|empanada|pastel salado|pasteles salados|savory pie|savoury pie|"
        "savory tart|savoury tart|savory tarts|savoury tarts"},
    {5, "fritura|frito|fritos|rebozado|croqueta|tempura|fried|fried food|deep fried|fritter|fry"},
    {6, "salsa|alino|vinagreta|mayonesa|sauce|dip|dressing|condiment|vinaigrette"},
    {7, "potaje|guiso|guisado|cocido|estofado|stew|casserole|hotpot"},
    {8, "sopa|caldo|consome|soup|broth|consomme"},
    {9, "crema|cream|cream soup|bisque|veloute|chowder"},
    {10, "pure|puree|mash|mashed potatoes"},
    {11, "arroz|arroces|paella|risotto|rice|rice dish|rice dishes"},
    {12, "patata|papa|potato|potatoes"},
    {13, "pasta|fideo|espagueti|macarron|macarrones|lasana|noodle|spaghetti|lasagna|lasagne"},
    {14, "legumbre|lenteja|garbanzo|alubia|judia|legume|bean|lentil|chickpea|pulse"},
    {15, "verdura|hortaliza|vegetal|vegetales|vegetariano|vegano|vegetable|veggie|vegetarian|vegan"},
    {16, "seta|hongo|champinon|champinones|boletus|mushroom|fungi"},
    {17, "huevo|tortilla|egg|omelette|omelet"},
    {18, "sufle|souffle"},
    {19, "flan|natilla|custard|pudding|panna cotta"},
    {20, "pescado|pez|peces|bacalao|merluza|atun|salmon|fish"},
    {21, "marisco|gamba|langostino|mejillon|mejillones|almeja|pulpo|calamar|calamares|seafood|sea food|shellfish|"
         "shrimp|prawn|mussel|clam"},
    {22, "carne|ternera|cerdo|vacuno|buey|filete|meat|beef|pork|steak"},
    {23, "cordero|lechazo|cabrito|lamb|mutton"},
    {24, "ave|pollo|pavo|pato|gallina|poultry|chicken|turkey|duck"},
    {25, "caza|conejo|venado|ciervo|jabali|perdiz|perdices|codorniz|codornices|liebre|game|venison|rabbit|boar|quail"},
    {26, "casqueria|callos|higado|rinon|rinones|menudencias|offal|tripe|liver|kidney|organ meat"},
    {27, "reposteria|postre|dulce|tarta|pastel|pasteles|galleta|helado|dessert|sweet|cake|cookie|biscuit|baking|"
         "pastry|ice cream"},
    {28, "cocktel|cockteles|coctel|cocteles|cocktail|bebida|combinado|trago|batido|drink|beverage|smoothie"},
    {29, "bolleria|bollo|magdalena|ensaimada|rosquilla|pan|panes|pan dulce|bun|croissant|muffin|brioche|"
         "viennoiserie|bread|sweet bread|breakfast pastry|donut|doughnut"},
};

const std::map<std::string, int> &CategoryTable() {
    static const std::map<std::string, int> table = [] {
        std::map<std::string, int> names;
        for (const CategoryNames &category : kCategoryNames) {
            const std::string all = category.names;
            size_t start = 0;
            while (start <= all.size()) {
                const size_t bar = all.find('|', start);
                names[all.substr(start, bar == std::string::npos ? std::string::npos : bar - start)] = category.number;
                if (bar == std::string::npos) {
                    break;
                }
                start = bar + 1;
            }
        }
        return names;
    }();
    return table;
}

} // namespace

std::string Utf8ToCp1252(const std::string &utf8, Cp1252Report &report) {
    std::string out;
    out.reserve(utf8.size());
    const std::map<uint32_t, char> &high = HighBytes();
    size_t i = 0;
    while (i < utf8.size()) {
        const size_t start = i;
        uint32_t c = 0;
        if (!NextCodePoint(utf8, i, c)) {
            out.push_back('?');
            NoteOnce(report.lost, "\xEF\xBF\xBD");
            continue;
        }
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (auto it = high.find(c); it != high.end()) {
            out.push_back(it->second);
            continue;
        }
        if (Dropped(c)) {
            continue;
        }
        std::string replacement;
        for (const Replacement &r : kReplacements) {
            if (r.codePoint == c) {
                replacement = r.bytes;
                break;
            }
        }
        if (replacement.empty() && c >= 0x100 && c <= 0x17F && kLatinExtendedA[c - 0x100] != '\0') {
            replacement = std::string(1, kLatinExtendedA[c - 0x100]);
        }
        const std::string original = utf8.substr(start, i - start);
        if (replacement.empty()) {
            out.push_back('?');
            NoteOnce(report.lost, original);
            continue;
        }
        if (IsFraction(c) && !out.empty() && out.back() >= '0' && out.back() <= '9') {
            out.push_back(' '); // 1⅓ is one and a third, not 11/3
        }
        out += replacement;
        NoteOnce(report.transliterated, original + " \xE2\x86\x92 " + Cp1252ToUtf8(replacement));
    }
    return out;
}

int CategoryNumberForName(const std::string &utf8) {
    const std::string folded = Fold(utf8);
    if (folded.empty()) {
        return 0;
    }
    const std::map<std::string, int> &table = CategoryTable();
    const auto find = [&table](const std::string &name) {
        const auto it = table.find(name);
        return it == table.end() ? 0 : it->second;
    };
    int number = find(folded);
    if (number == 0 && folded.size() > 1 && folded.back() == 's') {
        number = find(folded.substr(0, folded.size() - 1));
    }
    if (number == 0 && folded.size() > 2 && folded.compare(folded.size() - 2, 2, "es") == 0) {
        number = find(folded.substr(0, folded.size() - 2));
    }
    return number;
}
