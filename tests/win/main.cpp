// Runs the Win32 tests with GDI+ and the common controls started, as the program starts them.
#include "app/startup.h"

#include <gtest/gtest.h>

int wmain(int argc, wchar_t **argv) {
    testing::InitGoogleTest(&argc, argv);
    ULONG_PTR token = 0;
    if (StartGdiplus(&token) != 0) {
        return 2;
    }
    RegisterCommonControls();
    const int result = RUN_ALL_TESTS();
    StopGdiplus(token);
    return result;
}
