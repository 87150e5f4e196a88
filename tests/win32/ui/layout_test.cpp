// Every text of the four dialogs fits its control in the dialog font of the
// user-interface language, also the longest size-and-date line.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/ui.h"
#include "res/resource.h"
#include "resource_text.h"
#include "ui/ui.h"
#include "window_driver.h"

namespace {

INT_PTR CALLBACK NoProcedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct Extent {
    int width;
    int height;
};

// The space text takes in control's font; lines are broken at width when
// wrap is set, as a left-aligned static does.
Extent TextExtent(HWND control, const std::string& text, int width, bool wrap) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT box = {0, 0, width, 0};
    DrawTextA(dc, text.c_str(), -1, &box,
              DT_CALCRECT | DT_EXPANDTABS | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {box.right - box.left, box.bottom - box.top};
}

std::string ClassOf(HWND control) {
    char name[64];
    GetClassNameA(control, name, sizeof name);
    return name;
}

// Checks one control's text against its client area.
void ExpectFits(HWND control, const std::string& text) {
    RECT client;
    GetClientRect(control, &client);
    const int width = client.right;
    const int height = client.bottom;
    const std::string kind = ClassOf(control);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    SCOPED_TRACE(testing::Message() << "control " << GetDlgCtrlID(control) << " (" << kind << ") text \""
                                    << text << "\"");
    if (kind == "Static" && (style & SS_TYPEMASK) == SS_LEFT) {
        const Extent extent = TextExtent(control, text, width, true);
        EXPECT_LE(extent.width, width);
        EXPECT_LE(extent.height, height);
    } else if (kind == "Button") {
        const Extent extent = TextExtent(control, text, width, false);
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX) {
            // The box and its gap come before the text.
            EXPECT_LE(extent.width + GetSystemMetrics(SM_CXMENUCHECK) + 4, width);
        } else {
            EXPECT_LE(extent.width + 4, width);  // inside the button's edges
        }
        EXPECT_LE(extent.height, height);
    }
}

void ExpectAllTextsFit(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char text[512];
        GetWindowTextA(child, text, sizeof text);
        if (text[0] != '\0') ExpectFits(child, text);
    }
}

class DialogLayout : public testing::Test {
protected:
    HWND Create(int id) {
        HWND dialog = CreateDialogParamA(g_ui.resources, MAKEINTRESOURCEA(id), nullptr, NoProcedure, 0);
        EXPECT_NE(dialog, nullptr) << "dialog " << id;
        return dialog;
    }
};

TEST_F(DialogLayout, EveryTemplateTextFitsItsControl) {
    for (int id : {IDD_DESTINATION, IDD_CRC_CHECK, IDD_CONFIRM_REPLACE, IDD_PROGRESS}) {
        SCOPED_TRACE(testing::Message() << "dialog " << id);
        HWND dialog = Create(id);
        if (dialog == nullptr) continue;
        ExpectAllTextsFit(dialog);
        DestroyWindow(dialog);
    }
}

TEST_F(DialogLayout, TheLongestSizeAndDateLinesFit) {
    HWND dialog = Create(IDD_CONFIRM_REPLACE);
    ASSERT_NE(dialog, nullptr);
    wchar_t format[256];
    const uint32_t lastDay = ((127u << 9 | 12u << 5 | 31u) << 16) | (23u << 11 | 59u << 5 | 29u);
    const uint32_t eights = ((108u << 9 | 8u << 5 | 28u) << 16) | (8u << 11 | 58u << 5 | 29u);
    for (uint32_t value : {lastDay, eights}) {
        ASSERT_GT(FormatDateLine(value, format, 256), 0);
        wchar_t line[300];
        wchar_t size[kThousandsSize];
        FormatThousands(4294967295u, size);
        wsprintfW(line, format, size);
        ExpectFits(GetDlgItem(dialog, IDC_EXISTING_LINE), ToCodePage(line, CP_ACP));
        ExpectFits(GetDlgItem(dialog, IDC_ENTRY_LINE), ToCodePage(line, CP_ACP));
    }
    DestroyWindow(dialog);
}

TEST_F(DialogLayout, AFileNameOfTypicalLengthFitsThePrompt) {
    HWND dialog = Create(IDD_CONFIRM_REPLACE);
    ASSERT_NE(dialog, nullptr);
    char format[64];
    GetDlgItemTextA(dialog, IDC_REPLACE_PROMPT, format, sizeof format);
    char prompt[520];
    wsprintfA(prompt, format, "installer-setup-1.2.3.exe");
    ExpectFits(GetDlgItem(dialog, IDC_REPLACE_PROMPT), prompt);
    DestroyWindow(dialog);
}

}  // namespace
