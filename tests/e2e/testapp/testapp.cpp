// testapp: a small dialog program on which the end-to-end bench proves
// itself.  It shows a dialog with an edit field (101), a check box (102), an
// "Ask..." button (103) that opens a yes/no message box, OK and Cancel.  OK
// shows a last message box "Saved." ("Bench Done") and writes what the
// dialog held:
//
//   testapp.exe [--ja] RESULT_FILE
//
// RESULT_FILE (UTF-8) gets "name=TEXT", "remember=0|1" and "answer=yes|no|none"
// lines.  Exit status 0 after OK, 3 after Cancel, 2 for a bad command line.
// --ja uses Japanese titles and texts.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

constexpr int kNameEdit = 101;
constexpr int kRememberBox = 102;
constexpr int kAskButton = 103;

struct Texts {
    const wchar_t* title;
    const wchar_t* nameLabel;
    const wchar_t* remember;
    const wchar_t* ask;
    const wchar_t* cancel;
    const wchar_t* question;
    const wchar_t* questionCaption;
    const wchar_t* saved;
    const wchar_t* savedCaption;
};

const Texts kEnglish = {L"Bench Test",     L"Name:",  L"&Remember",
                        L"&Ask...",        L"Cancel", L"Proceed with the test?",
                        L"Bench Question", L"Saved.", L"Bench Done"};
const Texts kJapanese = {L"ベンチテスト", L"名前:",          L"記憶する(&R)",
                         L"質問(&A)...",  L"キャンセル",     L"試験を続けますか？",
                         L"ベンチの質問", L"保存しました。", L"ベンチ完了"};

// What the dialog collected.
struct Result {
    const Texts* texts;
    std::wstring name;
    bool remember = false;
    const wchar_t* answer = L"none";
};

// An in-memory dialog template (DLGTEMPLATE followed by DLGITEMTEMPLATEs).
class DialogTemplate {
public:
    DialogTemplate(const wchar_t* title, short cx, short cy) {
        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER;
        PutDword(style);
        PutDword(0);
        countAt_ = words_.size();
        Put(0);  // item count, filled in as items are added
        Put(0);
        Put(0);
        Put(static_cast<WORD>(cx));
        Put(static_cast<WORD>(cy));
        Put(0);  // no menu
        Put(0);  // the system dialog class
        PutText(title);
        Put(9);
        PutText(L"MS Shell Dlg");
    }

    // atom: 0x80 button, 0x81 edit, 0x82 static.
    void Add(WORD atom, int id, const wchar_t* text, DWORD style, short x, short y, short cx, short cy) {
        if (words_.size() % 2 != 0) Put(0);  // DWORD alignment
        PutDword(style | WS_CHILD | WS_VISIBLE);
        PutDword(0);
        Put(static_cast<WORD>(x));
        Put(static_cast<WORD>(y));
        Put(static_cast<WORD>(cx));
        Put(static_cast<WORD>(cy));
        Put(static_cast<WORD>(id));
        Put(0xFFFF);
        Put(atom);
        PutText(text);
        Put(0);  // no creation data
        words_[countAt_]++;
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Put(WORD w) { words_.push_back(w); }
    void PutDword(DWORD d) {
        Put(LOWORD(d));
        Put(HIWORD(d));
    }
    void PutText(const wchar_t* text) {
        for (; *text != L'\0'; text++) Put(static_cast<WORD>(*text));
        Put(0);
    }

    std::vector<WORD> words_;
    size_t countAt_;
};

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Result* result = reinterpret_cast<Result*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: SetWindowLongPtrW(dialog, DWLP_USER, lParam); return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kAskButton: {
            const int answer = MessageBoxW(dialog, result->texts->question, result->texts->questionCaption,
                                           MB_YESNO | MB_ICONQUESTION);
            result->answer = answer == IDYES ? L"yes" : L"no";
            return TRUE;
        }
        case IDOK: {
            wchar_t name[256];
            GetDlgItemTextW(dialog, kNameEdit, name, 256);
            result->name = name;
            result->remember = IsDlgButtonChecked(dialog, kRememberBox) == BST_CHECKED;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

bool WriteResult(const wchar_t* path, const Result& result) {
    const std::wstring text = L"name=" + result.name + L"\nremember=" + (result.remember ? L"1" : L"0") +
                              L"\nanswer=" + result.answer + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    return CloseHandle(file) && ok;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Result result;
    result.texts = &kEnglish;
    const wchar_t* resultPath = nullptr;
    for (int i = 1; i < argc; i++) {
        if (lstrcmpW(argv[i], L"--ja") == 0)
            result.texts = &kJapanese;
        else
            resultPath = argv[i];
    }
    if (resultPath == nullptr) return 2;

    const Texts& t = *result.texts;
    DialogTemplate dialog(t.title, 200, 80);
    dialog.Add(0x82, -1, t.nameLabel, SS_LEFT, 7, 9, 40, 8);
    dialog.Add(0x81, kNameEdit, L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 50, 7, 143, 14);
    dialog.Add(0x80, kRememberBox, t.remember, BS_AUTOCHECKBOX | WS_TABSTOP, 50, 27, 143, 10);
    dialog.Add(0x80, kAskButton, t.ask, BS_PUSHBUTTON | WS_TABSTOP, 7, 59, 60, 14);
    dialog.Add(0x80, IDOK, L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 89, 59, 50, 14);
    dialog.Add(0x80, IDCANCEL, t.cancel, BS_PUSHBUTTON | WS_TABSTOP, 143, 59, 50, 14);

    const INT_PTR chosen = DialogBoxIndirectParamW(instance, dialog.get(), nullptr, DialogProc,
                                                   reinterpret_cast<LPARAM>(&result));
    if (chosen != IDOK) return 3;
    MessageBoxW(nullptr, t.saved, t.savedCaption, MB_OK | MB_ICONINFORMATION);
    const bool written = WriteResult(resultPath, result);
    LocalFree(argv);
    return written ? 0 : 1;
}
