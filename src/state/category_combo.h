// The category list shared by the dish name and category dialog and the search dialog: a
// "ComboBoxEx32" control whose 29 entries ("01 - Aperitivos" ... "29 - Bollería" in the
// catalogue's order) each carry the category's picture from a picture list of their own.
#ifndef GUISLA_STATE_CATEGORY_COMBO_H
#define GUISLA_STATE_CATEGORY_COMBO_H

#include <windows.h>

#include <commctrl.h>

#include <string>

// Size of one cell of the categories' picture list, in pixels.
constexpr int kCategoryPictureWidth = 36;
constexpr int kCategoryPictureHeight = 37;

// Owns a picture list and destroys it when it goes out of scope. A combo box does not destroy
// the list attached to it, so the dialog keeps this holder until its window is gone.
class ImageListHolder {
public:
    explicit ImageListHolder(HIMAGELIST list = nullptr) : list_(list) {}
    ~ImageListHolder() { Reset(); }
    ImageListHolder(const ImageListHolder &) = delete;
    ImageListHolder &operator=(const ImageListHolder &) = delete;
    ImageListHolder(ImageListHolder &&other) noexcept : list_(other.list_) { other.list_ = nullptr; }
    ImageListHolder &operator=(ImageListHolder &&other) noexcept {
        if (this != &other) {
            Reset();
            list_ = other.list_;
            other.list_ = nullptr;
        }
        return *this;
    }
    HIMAGELIST Get() const { return list_; }
    void Reset() {
        if (list_ != nullptr) {
            ImageList_Destroy(list_);
            list_ = nullptr;
        }
    }

private:
    HIMAGELIST list_;
};

// Appends one picture to the combo's picture list (the bitmap resource a picture name "#300"
// names, loaded at its own size, placed from the top-left corner of its 36 x 37 cell and cut
// there) and one entry with the text, the picture as image and as selected image. A picture
// that cannot be loaded or added leaves the entry without one (image index -1). Returns the
// picture's index in the list, or -1.
int AddCategoryItem(HWND combo, const std::string &entryText, const std::string &pictureName);

// Makes a new picture list (36 x 37 pixels, 32-bit colour, room for 29, growing by 1), attaches
// it to the combo and appends the 29 categories of the filled catalogue, one picture each even
// where categories share a bitmap, so that picture k - 1 belongs to category k. The caller owns
// the returned list and must keep it until the combo is destroyed.
ImageListHolder FillCategoryCombo(HWND combo);

// Selects the entry of a category number (1..29); any other number selects the first entry.
void SelectCategory(HWND combo, int number);

// The category number of the selected entry, taken from the first two characters of its text
// ("07 - Potajes" gives 7); 0 when no entry is selected.
int SelectedCategoryNumber(HWND combo);

#endif
