// Reads classic dialog templates (DLGTEMPLATE) from the test program's own
// resources in a chosen language.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TemplateItem {
    DWORD style;
    int id;
    RECT box;       // dialog units: left, top, right, bottom
    int classAtom;  // 0x80 button, 0x81 edit, 0x82 static, ...; 0 when named
    std::wstring className;
    std::wstring text;
    int textOrdinal;  // resource id when the text is an ordinal (icons), else -1
};

struct DialogTemplate {
    bool found = false;
    bool extended = false;
    DWORD style = 0;
    int width = 0;
    int height = 0;
    std::wstring title;
    int pointSize = 0;
    std::wstring font;
    std::vector<TemplateItem> items;
};

DialogTemplate ReadDialogTemplate(int id, LANGID lang);
