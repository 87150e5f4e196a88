// Entry of the UI tests: the dialog code finds its resources through
// g_state.module, which is this program.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/state.h"
#include "wine_options.h"

int main(int argc, char** argv) {
    UseUnmanagedWindowsUnderWine();
    InitCommonControls();
    g_state.module = GetModuleHandleA(nullptr);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
