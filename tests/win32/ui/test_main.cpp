// Entry of the UI tests: the dialog code finds its resources through
// g_ui.resources, which is this program.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "ui/ui.h"
#include "wine_options.h"

int main(int argc, char** argv) {
    UseUnmanagedWindowsUnderWine();
    InitCommonControls();
    g_ui.resources = GetModuleHandleA(nullptr);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
