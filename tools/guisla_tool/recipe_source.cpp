// Recipes out of pages and JSON-LD: libxml2's HTML parser finds the ld+json blocks and strips
// markup from texts, nlohmann-json parses the JSON; this file only walks what they give.
#include "guisla_tool/recipe_source.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

// Nesting followed into JSON values; deeper parts are ignored (real documents nest a handful).
constexpr int kMaxDepth = 64;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Trims blanks, and no-break spaces (C2 A0 in UTF-8), at both ends.
std::string Trim(const std::string &text) {
    size_t first = 0;
    size_t last = text.size();
    while (true) {
        if (first < last && IsBlank(text[first])) {
            ++first;
        } else if (last - first >= 2 && text.compare(first, 2, "\xC2\xA0") == 0) {
            first += 2;
        } else {
            break;
        }
    }
    while (true) {
        if (last > first && IsBlank(text[last - 1])) {
            --last;
        } else if (last - first >= 2 && text.compare(last - 2, 2, "\xC2\xA0") == 0) {
            last -= 2;
        } else {
            break;
        }
    }
    return text.substr(first, last - first);
}

void AppendLines(const std::string &text, std::vector<std::string> &lines) {
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        const std::string line = Trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (!line.empty()) {
            lines.push_back(line);
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
}

bool IsBlockElement(const xmlNode *node) {
    static const char *const kBlocks[] = {"br",    "p",       "div",     "li",         "ul",  "ol", "dl", "dt",
                                          "dd",    "h1",      "h2",      "h3",         "h4",  "h5", "h6", "tr",
                                          "table", "section", "article", "blockquote", "pre", "hr"};
    if (node->type != XML_ELEMENT_NODE || node->name == nullptr) {
        return false;
    }
    const char *name = reinterpret_cast<const char *>(node->name);
    return std::any_of(std::begin(kBlocks), std::end(kBlocks),
                       [name](const char *block) { return std::strcmp(name, block) == 0; });
}

bool IsElement(const xmlNode *node, const char *name) {
    return node->type == XML_ELEMENT_NODE && node->name != nullptr &&
           std::strcmp(reinterpret_cast<const char *>(node->name), name) == 0;
}

// Visits the nodes of a parsed page in document order without recursion: `visit` gets each node
// before its children and returns whether to enter them; `after` runs once they are done.
template <typename Visit, typename After> void WalkNodes(const xmlDoc *document, Visit visit, After after) {
    const xmlNode *top = reinterpret_cast<const xmlNode *>(document);
    const xmlNode *node = document->children;
    while (node != nullptr) {
        const bool enter = visit(node);
        if (enter && node->children != nullptr) {
            node = node->children;
            continue;
        }
        if (enter) {
            after(node);
        }
        while (node != nullptr && node->next == nullptr) {
            node = node->parent;
            if (node == nullptr || node == top) {
                node = nullptr;
                break;
            }
            after(node);
        }
        if (node != nullptr) {
            node = node->next;
        }
    }
}

void Silent(void *, const char *, ...) {}
void SilentStructured(void *, xmlErrorPtr) {}

// A parsed page (nullptr when there was nothing to parse), freed with its holder. The parser
// recovers from any markup, reads nothing from the network and prints nothing.
struct ParsedHtml {
    xmlDoc *document = nullptr;
    explicit ParsedHtml(const std::string &text) {
        static const bool quiet = [] {
            xmlInitParser();
            xmlSetGenericErrorFunc(nullptr, Silent);
            xmlSetStructuredErrorFunc(nullptr, SilentStructured);
            return true;
        }();
        (void)quiet;
        if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) {
            return;
        }
        document = htmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                                  HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                                      HTML_PARSE_IGNORE_ENC);
    }
    ~ParsedHtml() {
        if (document != nullptr) {
            xmlFreeDoc(document);
        }
    }
    ParsedHtml(const ParsedHtml &) = delete;
    ParsedHtml &operator=(const ParsedHtml &) = delete;
};

bool IsTextNode(const xmlNode *node) {
    return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

// ---- JSON-LD ----

bool IsRecipeType(const Json &type) {
    const auto named = [](const Json &value) {
        if (!value.is_string()) {
            return false;
        }
        const std::string &text = value.get_ref<const std::string &>();
        const size_t cut = text.find_last_of("/:#");
        return (cut == std::string::npos ? text : text.substr(cut + 1)) == "Recipe";
    };
    if (type.is_array()) {
        return std::any_of(type.begin(), type.end(), named);
    }
    return named(type);
}

const Json *Member(const Json &object, const char *name) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto it = object.find(name);
    return it == object.end() ? nullptr : &*it;
}

// The texts of a value: a text, a number, a list of them, or an object's "@value", "text" or "name".
void TextsOf(const Json &value, std::vector<std::string> &texts, int depth = 0) {
    if (depth > kMaxDepth) {
        return;
    }
    if (value.is_string()) {
        texts.push_back(value.get<std::string>());
    } else if (value.is_number()) {
        texts.push_back(value.dump());
    } else if (value.is_array()) {
        for (const Json &item : value) {
            TextsOf(item, texts, depth + 1);
        }
    } else if (value.is_object()) {
        for (const char *name : {"@value", "text", "name"}) {
            if (const Json *member = Member(value, name)) {
                TextsOf(*member, texts, depth + 1);
                return;
            }
        }
    }
}

// Category-like values: texts, each split at commas, trimmed, markup-free.
std::vector<std::string> ListOf(const Json *value) {
    std::vector<std::string> items;
    if (value == nullptr) {
        return items;
    }
    std::vector<std::string> texts;
    TextsOf(*value, texts);
    for (const std::string &text : texts) {
        size_t start = 0;
        while (start <= text.size()) {
            const size_t comma = text.find(',', start);
            std::vector<std::string> lines =
                TextLinesOfHtml(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            items.insert(items.end(), lines.begin(), lines.end());
            if (comma == std::string::npos) {
                break;
            }
            start = comma + 1;
        }
    }
    return items;
}

// Lines of texts: each text's lines in order.
std::vector<std::string> LinesOf(const Json *value) {
    std::vector<std::string> lines;
    if (value != nullptr) {
        std::vector<std::string> texts;
        TextsOf(*value, texts);
        for (const std::string &text : texts) {
            std::vector<std::string> more = TextLinesOfHtml(text);
            lines.insert(lines.end(), more.begin(), more.end());
        }
    }
    return lines;
}

std::string OneLineOf(const Json *value) {
    std::string line;
    for (const std::string &part : LinesOf(value)) {
        line += (line.empty() ? "" : " ") + part;
    }
    return line;
}

// recipeInstructions: a text, a list, HowToStep (its text, else its name), HowToSection or
// ItemList (its name as a line, then its itemListElement).
void Steps(const Json &value, std::vector<std::string> &steps, int depth) {
    if (depth > kMaxDepth) {
        return;
    }
    if (value.is_string()) {
        std::vector<std::string> lines = TextLinesOfHtml(value.get<std::string>());
        steps.insert(steps.end(), lines.begin(), lines.end());
    } else if (value.is_array()) {
        for (const Json &item : value) {
            Steps(item, steps, depth + 1);
        }
    } else if (value.is_object()) {
        const Json *items = Member(value, "itemListElement");
        const Json *text = Member(value, "text");
        if (text != nullptr && items == nullptr) {
            Steps(*text, steps, depth + 1);
            return;
        }
        if (const Json *name = Member(value, "name"); name != nullptr && name->is_string()) {
            const std::string line = OneLineOf(name);
            if (!line.empty()) {
                steps.push_back(line);
            }
        } else if (text != nullptr) {
            Steps(*text, steps, depth + 1);
        }
        if (items != nullptr) {
            Steps(*items, steps, depth + 1);
        }
    }
}

// image: a text, a list, an ImageObject ("url" or "contentUrl").
void Images(const Json &value, std::vector<std::string> &images, int depth) {
    if (depth > kMaxDepth) {
        return;
    }
    if (value.is_string()) {
        const std::string reference = Trim(value.get<std::string>());
        if (!reference.empty()) {
            images.push_back(reference);
        }
    } else if (value.is_array()) {
        for (const Json &item : value) {
            Images(item, images, depth + 1);
        }
    } else if (value.is_object()) {
        for (const char *name : {"contentUrl", "url"}) {
            if (const Json *member = Member(value, name)) {
                Images(*member, images, depth + 1);
                return;
            }
        }
    }
}

FoundRecipe RecipeOf(const Json &object) {
    FoundRecipe recipe;
    recipe.name = OneLineOf(Member(object, "name"));
    const Json *ingredients = Member(object, "recipeIngredient");
    recipe.ingredients = LinesOf(ingredients != nullptr ? ingredients : Member(object, "ingredients"));
    if (const Json *instructions = Member(object, "recipeInstructions")) {
        Steps(*instructions, recipe.steps, 0);
    }
    if (const Json *image = Member(object, "image")) {
        Images(*image, recipe.images, 0);
    }
    recipe.categories = ListOf(Member(object, "recipeCategory"));
    recipe.cuisines = ListOf(Member(object, "recipeCuisine"));
    recipe.keywords = ListOf(Member(object, "keywords"));
    return recipe;
}

// Every Recipe in a JSON-LD value: the value itself, the items of a list, and what objects hold
// ("@graph", "mainEntity" and any other member). A Recipe's own members are not searched further.
void CollectRecipes(const Json &value, std::vector<FoundRecipe> &recipes, int depth) {
    if (depth > kMaxDepth) {
        return;
    }
    if (value.is_array()) {
        for (const Json &item : value) {
            CollectRecipes(item, recipes, depth + 1);
        }
    } else if (value.is_object()) {
        if (const Json *type = Member(value, "@type"); type != nullptr && IsRecipeType(*type)) {
            recipes.push_back(RecipeOf(value));
            return;
        }
        for (const auto &member : value.items()) {
            CollectRecipes(member.value(), recipes, depth + 1);
        }
    }
}

bool ParseJson(const std::string &text, Json &value) {
    value = Json::parse(text, nullptr, false);
    return !value.is_discarded();
}

std::string Lower(std::string text) {
    for (char &c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool IsJsonLdScript(const xmlNode *node) {
    if (!IsElement(node, "script")) {
        return false;
    }
    xmlChar *type = xmlGetProp(node, reinterpret_cast<const xmlChar *>("type"));
    if (type == nullptr) {
        return false;
    }
    const std::string value = Lower(Trim(reinterpret_cast<const char *>(type)));
    xmlFree(type);
    return value.rfind("application/ld+json", 0) == 0;
}

std::string ScriptText(const xmlNode *script) {
    std::string text;
    for (const xmlNode *child = script->children; child != nullptr; child = child->next) {
        if (IsTextNode(child) && child->content != nullptr) {
            text += reinterpret_cast<const char *>(child->content);
        }
    }
    return text;
}

} // namespace

std::vector<std::string> TextLinesOfHtml(const std::string &fragment) {
    std::vector<std::string> lines;
    if (fragment.find_first_of("<&") == std::string::npos) {
        AppendLines(fragment, lines);
        return lines;
    }
    std::string text;
    const ParsedHtml html(fragment);
    if (html.document == nullptr) {
        return lines;
    }
    WalkNodes(
        html.document,
        [&text](const xmlNode *node) {
            if (IsTextNode(node)) {
                if (node->content != nullptr) {
                    text += reinterpret_cast<const char *>(node->content);
                }
                return false;
            }
            if (node->type != XML_ELEMENT_NODE || IsElement(node, "script") || IsElement(node, "style")) {
                return false;
            }
            if (IsBlockElement(node)) {
                text += '\n';
            }
            return true;
        },
        [&text](const xmlNode *node) {
            if (IsBlockElement(node)) {
                text += '\n';
            }
        });
    AppendLines(text, lines);
    return lines;
}

bool LooksLikeHtml(const std::string &fileName, const std::string &bytes) {
    const size_t dot = fileName.find_last_of('.');
    if (dot != std::string::npos) {
        const std::string extension = Lower(fileName.substr(dot + 1));
        if (extension == "html" || extension == "htm" || extension == "xhtml") {
            return true;
        }
    }
    size_t i = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < bytes.size() && IsBlank(bytes[i])) {
        ++i;
    }
    return i < bytes.size() && bytes[i] == '<';
}

SourceRead ReadRecipeSource(const std::string &bytes, bool asHtml) {
    SourceRead read;
    if (!asHtml) {
        Json document;
        if (!ParseJson(bytes, document)) {
            read.problem = SourceProblem::NotJson;
            return read;
        }
        CollectRecipes(document, read.recipes, 0);
        read.problem = read.recipes.empty() ? SourceProblem::NoRecipe : SourceProblem::None;
        return read;
    }
    int blocks = 0;
    const ParsedHtml html(bytes);
    if (html.document != nullptr) {
        WalkNodes(
            html.document,
            [&](const xmlNode *node) {
                if (!IsJsonLdScript(node)) {
                    return node->type == XML_ELEMENT_NODE;
                }
                Json document;
                if (ParseJson(ScriptText(node), document)) {
                    ++blocks;
                    CollectRecipes(document, read.recipes, 0);
                } else {
                    ++read.unreadableBlocks;
                }
                return false;
            },
            [](const xmlNode *) {});
    }
    if (read.recipes.empty()) {
        read.problem = blocks == 0 ? SourceProblem::NoJsonLd : SourceProblem::NoRecipe;
    }
    return read;
}
