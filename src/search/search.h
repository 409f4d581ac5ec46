// The search over the store: the recipes whose value of one field (the category) equals a text,
// numbered result lines, and the texts of a found recipe. Portable: reads through the store only.
//
// What a search finds is defined by the plain procedure: for key = 1 .. LastRecipeKey, read the
// field with ReadFieldValue and keep the key when the value equals the target byte for byte.
// Here the store's index (store_index.h) yields the field, the dish name ("Plato") and where the
// other values of every key lie, which gives the same keys and names; it is kept between runs and
// brought up to date by reading only what was appended to the data file since.
#ifndef GUISLA_SEARCH_SEARCH_H
#define GUISLA_SEARCH_SEARCH_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "search/stored_picture.h"
#include "store/field_scan.h"

// The keys found by the last search in ascending order: the key of result line i (counted from
// 1) is SearchResults[i - 1]. Sized by what was found. Kept until the next search.
extern std::vector<int64_t> SearchResults;
// The number of entries of SearchResults; 0 after a search without matches.
extern int64_t resultCount;

// Called while the search reads the store, after each read block, with the bytes read so far and
// the bytes to read in all; the dialog services its messages here.
using SearchKeepAlive = std::function<void(int64_t done, int64_t total)>;

// Replaces SearchResults and resultCount with the keys 1 .. LastRecipeKey whose value of
// `fieldName` equals `target` exactly, with their dish names. A store that cannot be read finds
// nothing. An empty target finds nothing (the plain procedure would list every key without a
// value, up to any last key). A negative or huge last key allocates and loops only for what the
// file holds.
void SearchStoreRecipes(const std::string &fieldName, const std::string &target, const SearchKeepAlive &keepAlive = {});

// Whether the last SearchStoreRecipes could not open the data file because another program held
// it (after the file layer's retries of about a second): its empty results then say nothing about
// the store, and the user is told to try again instead of being told there are no recipes.
bool LastSearchStoreBusy();

// Forgets the index held in memory (the kept file stays; tests and benchmarks use it to measure a
// first search after a restart).
void ForgetSearchPass();

// Digits of every ordinal of the last search: 4, or as many as resultCount needs beyond 9,999,
// so that all lines start alike and sort in ordinal order.
int ResultOrdinalWidth();

// Result line i (1 .. resultCount): the ordinal zero-padded to ResultOrdinalWidth() digits, one
// blank and the stored dish name as it is ("0001 Tortilla", "0002 " for an empty name). Empty
// outside that range.
std::string ResultLine(int64_t ordinal);

// The ordinal at the start of a result line: the value of its leading decimal digits; 0 when it
// has none or they exceed resultCount's range.
int64_t OrdinalOfResultLine(const std::string &line);

// The two messages after a search: "No hay Resultados ..." for none, else the count in plain
// decimal followed by " Resultados ...".
std::string SearchCountMessage(int64_t count);

// The texts of a found recipe, as ReadFieldValue gives them.
struct FoundRecipeTexts {
    int64_t key = 0;
    std::string dishName;
    std::string ingredients;
    std::string elaboration;
};

// The texts of result `ordinal` (1 .. resultCount); key 0 and empty texts outside that range.
// They are read from where the index, brought up to date, has them (only those records are read,
// and checked: ReadValueSpan); where the data file no longer holds them there, or it cannot be
// indexed, read anew with ReadFieldValue.
FoundRecipeTexts ReadFoundRecipe(int64_t ordinal);

// Where the picture ("Imagen") and extension ("extensión") of result `ordinal` lie, from the
// index brought up to date; `found` false outside 1 .. resultCount or when the store cannot be
// indexed (then locate it anew).
struct FoundPictureSpans {
    bool found = false;
    int64_t key = 0;
    bool hasPicture = false;
    ValueSpan picture;
    bool hasExtension = false;
    ValueSpan extension;
};
FoundPictureSpans FoundRecipePictureSpans(int64_t ordinal);

// The picture of result `ordinal` located through the index, ready to stream (stored_picture.h).
// False when there is no such result, the store cannot be indexed, or the extension no longer
// lies where the index has it: then locate it anew by its key.
bool FoundStoredPicture(int64_t ordinal, StoredPicture &picture);

// The data file's size now; -1 when it cannot be opened.
int64_t CurrentDataFileSize();

#endif
