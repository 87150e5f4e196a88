#include "dialog_template.h"

#include <cstring>

namespace {

class Reader {
public:
    explicit Reader(const BYTE* start) : start_(start), p_(start) {}

    WORD Word() {
        WORD w;
        memcpy(&w, p_, 2);
        p_ += 2;
        return w;
    }
    DWORD Dword() {
        DWORD d;
        memcpy(&d, p_, 4);
        p_ += 4;
        return d;
    }
    short Short() { return static_cast<short>(Word()); }
    std::wstring String() {
        std::wstring s;
        for (WORD w = Word(); w != 0; w = Word()) s.push_back(static_cast<wchar_t>(w));
        return s;
    }
    // A name or, after 0xFFFF, an ordinal.
    std::wstring NameOrOrdinal(int* ordinal) {
        *ordinal = -1;
        WORD first = Word();
        if (first == 0xFFFF) {
            *ordinal = Word();
            return {};
        }
        p_ -= 2;
        return String();
    }
    void AlignDword() {
        while ((p_ - start_) % 4 != 0) ++p_;
    }
    void Skip(size_t n) { p_ += n; }

private:
    const BYTE* start_;
    const BYTE* p_;
};

}  // namespace

DialogTemplate ReadDialogTemplate(int id, LANGID lang) {
    DialogTemplate dialog;
    HRSRC found = FindResourceExA(nullptr, RT_DIALOG, MAKEINTRESOURCEA(id), lang);
    if (found == nullptr) return dialog;
    dialog.found = true;
    Reader in(static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found))));
    dialog.style = in.Dword();
    if (dialog.style == 0xFFFF0001) {
        dialog.extended = true;
        return dialog;
    }
    in.Dword();  // extended style
    const int count = in.Word();
    in.Short();
    in.Short();
    dialog.width = in.Short();
    dialog.height = in.Short();
    int ordinal;
    in.NameOrOrdinal(&ordinal);  // menu
    in.NameOrOrdinal(&ordinal);  // class
    dialog.title = in.String();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.Word();
        dialog.font = in.String();
    }
    for (int i = 0; i < count; ++i) {
        in.AlignDword();
        TemplateItem item;
        item.style = in.Dword();
        in.Dword();  // extended style
        const int x = in.Short();
        const int y = in.Short();
        const int cx = in.Short();
        const int cy = in.Short();
        item.box = {x, y, x + cx, y + cy};
        item.id = static_cast<short>(in.Word());
        item.className = in.NameOrOrdinal(&item.classAtom);
        if (item.classAtom < 0) item.classAtom = 0;
        item.text = in.NameOrOrdinal(&item.textOrdinal);
        in.Skip(in.Word());  // creation data
        dialog.items.push_back(item);
    }
    return dialog;
}
