// The picture file dialog: its request, the path split and the chosen path's two forms, and the
// real open-file dialog driven from inside its run (placement, initial folder and name, cancel,
// a name typed without extension, a name that does not exist), and the command "Insertar Imagen".
#include "state/app_state.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "entry/picture_file_dialog.h"
#include "resources/resource_ids.h"
#include "search/picture_display.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/picture_box.h"
#include "ui/text.h"
#include "picture_test_support.h"
#include "win_test_support.h"

#include <dlgs.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

const wchar_t kTitle[] = L"Navegador de ficheros para imagen";

std::wstring CurrentDirectory() {
    wchar_t buffer[1024] = {};
    GetCurrentDirectoryW(1024, buffer);
    return buffer;
}

TEST(PictureFileRequest, MembersOfTheRequest) {
    PictureFileRequest request;
    HWND owner = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x1234));
    PreparePictureFileRequest(owner, L"C:\\Fotos\\tarta.jpg", request);
    const OPENFILENAMEW &d = request.dialog;
    EXPECT_EQ(d.lStructSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(d.hwndOwner, owner);
    EXPECT_EQ(d.hInstance, nullptr);
    const wchar_t filter[] = L"Images\0*.jpg;*.png;*.gif;*.bmp;*.tif\0All Files\0*.*\0";
    ASSERT_NE(d.lpstrFilter, nullptr);
    EXPECT_EQ(std::memcmp(d.lpstrFilter, filter, sizeof filter), 0) << "two pairs, each string and the list ended";
    EXPECT_EQ(d.lpstrCustomFilter, nullptr);
    EXPECT_EQ(d.nMaxCustFilter, 0u);
    EXPECT_EQ(d.nFilterIndex, 0u);
    EXPECT_EQ(std::wstring(d.lpstrFile), L"tarta.jpg");
    EXPECT_GE(d.nMaxFile, 260u);
    EXPECT_EQ(d.lpstrFileTitle, nullptr);
    EXPECT_EQ(d.nMaxFileTitle, 0u);
    EXPECT_EQ(std::wstring(d.lpstrInitialDir), L"C:\\Fotos\\");
    EXPECT_EQ(std::wstring(d.lpstrTitle), kTitle);
    EXPECT_EQ(d.Flags, static_cast<DWORD>(OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER | OFN_ENABLEHOOK |
                                          OFN_HIDEREADONLY | OFN_NOCHANGEDIR));
    EXPECT_EQ(d.nFileOffset, 0);
    EXPECT_EQ(d.nFileExtension, 0);
    EXPECT_EQ(std::wstring(d.lpstrDefExt), L"jpg");
    EXPECT_EQ(d.lCustData, 0);
    EXPECT_NE(d.lpfnHook, nullptr);
    EXPECT_EQ(d.lpTemplateName, nullptr);
    EXPECT_EQ(d.FlagsEx, 0u);

    // No picture yet: the current directory and an empty name.
    PictureFileRequest empty;
    PreparePictureFileRequest(owner, L"", empty);
    EXPECT_EQ(std::wstring(empty.dialog.lpstrFile), L"");
    EXPECT_EQ(std::wstring(empty.dialog.lpstrInitialDir), CurrentDirectory());

    // The initial folder is cut to 254 characters.
    const std::wstring longFolder = L"C:\\" + std::wstring(300, L'a') + L"\\";
    PictureFileRequest cut;
    PreparePictureFileRequest(owner, longFolder + L"x.png", cut);
    EXPECT_EQ(std::wstring(cut.dialog.lpstrInitialDir), longFolder.substr(0, 254));
    EXPECT_EQ(std::wstring(cut.dialog.lpstrFile), L"x.png");
}

TEST(PictureFileRequest, SplitAndTheTwoFormsOfThePath) {
    EXPECT_EQ(SplitPicturePath(L"C:\\Fotos\\tarta.jpg").folder, L"C:\\Fotos\\");
    EXPECT_EQ(SplitPicturePath(L"C:\\Fotos\\tarta.jpg").name, L"tarta.jpg");
    EXPECT_EQ(SplitPicturePath(L"C:tarta.jpg").folder, L"C:");
    EXPECT_EQ(SplitPicturePath(L"C:tarta.jpg").name, L"tarta.jpg");
    EXPECT_EQ(SplitPicturePath(L"tarta.jpg").folder, L"");
    EXPECT_EQ(SplitPicturePath(L"tarta.jpg").name, L"tarta.jpg");
    EXPECT_EQ(SplitPicturePath(L"C:\\Fotos\\").name, L"");
    EXPECT_EQ(SplitPicturePath(L"").folder, L"");

    std::string bytes = "old";
    std::wstring wide = L"old";
    // 259 bytes are kept; 260 are refused and change nothing.
    const std::wstring fits = L"C:\\" + std::wstring(252, L'p') + L".jpg";
    ASSERT_EQ(fits.size(), 259u);
    EXPECT_TRUE(AcceptPicturePath(fits, bytes, wide));
    EXPECT_EQ(bytes, WideToAnsi(fits));
    EXPECT_EQ(wide, fits);
    EXPECT_FALSE(AcceptPicturePath(fits + L"g", bytes, wide));
    EXPECT_EQ(wide, fits);
    EXPECT_FALSE(AcceptPicturePath(L"", bytes, wide));

    // Characters the code page cannot hold: the bytes carry its default character, the path
    // itself is kept for opening the file.
    const std::wstring greek = L"C:\\Fotos\\\u03C4\u03BF\u03C1\u03C4\u03B1.jpg";
    EXPECT_TRUE(AcceptPicturePath(greek, bytes, wide));
    EXPECT_EQ(bytes, "C:\\Fotos\\?????.jpg");
    EXPECT_EQ(wide, greek);
    EXPECT_EQ(CurrentPicturePath(bytes, wide), greek);
    // A wide path that no longer matches the bytes is not used.
    EXPECT_EQ(CurrentPicturePath("C:\\Otra\\flan.png", wide), L"C:\\Otra\\flan.png");
    EXPECT_EQ(CurrentPicturePath("", L""), L"");
}

// Runs ChoosePictureFile for the real main window; `inside` runs when the dialog shows.
void ChooseWith(std::string &bytes, std::wstring &wide, const std::function<void(HWND dialog)> &inside) {
    bool seen = false;
    WhenReady([] { return FindOwnWindow(L"#32770", kTitle) != nullptr; },
              [&] {
                  HWND dialog = FindOwnWindow(L"#32770", kTitle);
                  if (dialog == nullptr) {
                      return; // timed out: the test fails below
                  }
                  seen = true;
                  inside(dialog);
              });
    ChoosePictureFile(MainWindow, bytes, wide);
    EXPECT_TRUE(seen) << "the file dialog did not show";
}

std::wstring DialogText(HWND dialog, UINT message) {
    wchar_t text[1024] = {};
    SendMessageW(dialog, message, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

class PictureFileDialog : public testing::Test {
protected:
    PictureFileDialog() : folder_(L"dialog") {}
    void WithMainWindow(const std::function<void()> &checks) {
        CallSoon([checks] {
            checks();
            EndDialogWindow(MainWindow);
        });
        BuildMainWindow(nullptr);
    }
    PictureTempFolder folder_;
};

TEST_F(PictureFileDialog, OpensBesideTheOwnerInThePictureFolderAndCancelEmptiesThePath) {
    const std::wstring picture = folder_.Path() + L"tarta.jpg";
    ASSERT_TRUE(SaveSolidImage(picture, 20, 20, kJpeg, 0xFFFF0000));
    const std::wstring directoryBefore = CurrentDirectory();
    WithMainWindow([&] {
        std::string bytes = WideToAnsi(picture);
        std::wstring wide = picture;
        ChooseWith(bytes, wide, [&](HWND dialog) {
            RECT owner = {};
            RECT placed = {};
            GetWindowRect(MainWindow, &owner);
            GetWindowRect(dialog, &placed);
            EXPECT_EQ(placed.left, owner.left + 30);
            EXPECT_EQ(placed.top, owner.top + 30);
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), MainWindow);
            EXPECT_EQ(GetForegroundWindow(), dialog);
            std::wstring shownFolder = DialogText(dialog, CDM_GETFOLDERPATH);
            if (!shownFolder.empty() && shownFolder.back() != L'\\') {
                shownFolder += L'\\';
            }
            EXPECT_EQ(shownFolder, folder_.Path());
            EXPECT_EQ(DialogText(dialog, CDM_GETSPEC), L"tarta.jpg");
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(bytes, "");
        EXPECT_EQ(wide, L"");
    });
    EXPECT_EQ(CurrentDirectory(), directoryBefore);
}

TEST_F(PictureFileDialog, UnknownNamesKeepItOpenAndANameWithoutExtensionGetsJpg) {
    const std::wstring picture = folder_.Path() + L"tarta.jpg";
    ASSERT_TRUE(SaveSolidImage(picture, 20, 20, kJpeg, 0xFFFF0000));
    const std::wstring directoryBefore = CurrentDirectory();
    WithMainWindow([&] {
        std::string bytes = WideToAnsi(folder_.Path() + L"otra.png"); // only its folder matters
        std::wstring wide;
        HWND dialog = nullptr;
        bool stayedOpen = false;
        bool defaultExtensionAdded = true;
        const std::vector<CaughtMessageBox> warnings = RunCatchingMessageBoxes([&] {
            ChooseWith(bytes, wide, [&](HWND shown) {
                dialog = shown;
                // A name that exists neither as typed nor with ".jpg": the dialog warns and stays.
                SendMessageW(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(L"nada"));
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                WhenReady([] { return CaughtMessageBoxCount() >= 1; },
                          [&] {
                              stayedOpen = IsWindow(dialog) && IsWindowVisible(dialog);
                              SendMessageW(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(L"tarta"));
                              PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                              // Wine's dialog checks the name before adding the default extension:
                              // it warns again, and the name is given whole.
                              WhenReady([&] { return !IsWindow(dialog) || CaughtMessageBoxCount() >= 2; },
                                        [&] {
                                            if (!IsWindow(dialog)) {
                                                return;
                                            }
                                            defaultExtensionAdded = false;
                                            SendMessageW(dialog, CDM_SETCONTROLTEXT, cmb13,
                                                         reinterpret_cast<LPARAM>(L"tarta.jpg"));
                                            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                                        });
                          });
            });
        });
        EXPECT_GE(warnings.size(), 1u);
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(wide, picture);
        EXPECT_EQ(bytes, WideToAnsi(picture));
        if (!defaultExtensionAdded) {
            std::printf("note: this platform's file dialog did not add the default extension to \"tarta\"\n");
        }
    });
    EXPECT_EQ(CurrentDirectory(), directoryBefore);
}

TEST_F(PictureFileDialog, InsertPictureShowsTheChosenPictureAndCancelKeepsItOnScreen) {
    const std::wstring picture = folder_.Path() + L"flan.png";
    ASSERT_TRUE(SaveSolidImage(picture, 800, 600, kPng, 0xFF0000FF));
    WithMainWindow([&] {
        HWND box = GetDlgItem(MainWindow, IDC_PICTURE_BOX);
        currentRecipe.picturePath.clear();
        currentRecipe.picturePathWide.clear();
        WhenReady([] { return FindOwnWindow(L"#32770", kTitle) != nullptr; },
                  [&] {
                      HWND dialog = FindOwnWindow(L"#32770", kTitle);
                      ASSERT_NE(dialog, nullptr);
                      SendMessageW(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(picture.c_str()));
                      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                  });
        RunMainCommand(MainWindow, IDM_INSERT_PICTURE);
        EXPECT_EQ(currentRecipe.picturePathWide, picture);
        EXPECT_EQ(currentRecipe.picturePath, WideToAnsi(picture));
        EXPECT_EQ(PictureBoxPixel(box, 100, 100), RGB(0, 0, 255));
        EXPECT_EQ(PictureBoxPixel(box, 100, 300), kBackgroundColour); // below the 327 x 245 picture

        // Cancelling a second time: the recipe has no picture, the screen keeps the first.
        WhenReady([] { return FindOwnWindow(L"#32770", kTitle) != nullptr; },
                  [] { PostMessageW(FindOwnWindow(L"#32770", kTitle), WM_COMMAND, IDCANCEL, 0); });
        RunMainCommand(MainWindow, IDM_INSERT_PICTURE);
        EXPECT_EQ(currentRecipe.picturePath, "");
        EXPECT_EQ(currentRecipe.picturePathWide, L"");
        EXPECT_EQ(PictureBoxPixel(box, 100, 100), RGB(0, 0, 255));
    });
}

} // namespace
