// Start-up: a GDI+ that cannot start gives one message box and no main window.
#include "state/app_state.h"
#include "app/startup.h"
#include "win_test_support.h"

#include <gtest/gtest.h>

namespace {

int FailingStart(ULONG_PTR *token) {
    *token = 0;
    return 1; // GenericError
}

int boxesSeen = 0;
std::wstring boxText;
std::wstring boxCaption;
bool mainWindowSeen = false;

TEST(Startup, GraphicsFailureShowsOneMessageAndNoWindow) {
    boxesSeen = 0;
    mainWindowSeen = false;
    WhenReady([] { return FindOwnWindow(L"#32770", nullptr) != nullptr; },
              [] {
                  HWND box = FindOwnWindow(L"#32770", nullptr);
                  if (box == nullptr) {
                      return;
                  }
                  ++boxesSeen;
                  boxCaption = TextOf(box);
                  mainWindowSeen = MainWindow != nullptr || FindOwnWindow(nullptr, L"Mi guisla") != nullptr;
                  boxText = ReadAndCloseMessageBox(box);
              });
    EXPECT_EQ(RunProgram(FailingStart), 1);
    EXPECT_EQ(boxesSeen, 1);
    EXPECT_EQ(boxText, kGdiplusFailureMessage);
    EXPECT_NE(boxCaption, L"Programador") << "this message has no caption of its own";
    EXPECT_FALSE(mainWindowSeen);
    EXPECT_EQ(MainWindow, nullptr);
}

} // namespace
