// robot: drives the dialogs and message boxes of another process for the
// end-to-end tests, and writes a transcript of what it saw.
//
//   robot.exe [-f SCRIPT] [STEP ARG...]...
//
// Steps run in order; the first that fails ends the run with exit status 1.
// See docs/testing.md for every step and the transcript's lines.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "desktop.h"
#include "script.h"
#include "text.h"

namespace {

constexpr DWORD kPollMs = 50;

const wchar_t kUsage[] =
    L"usage: robot.exe [-f SCRIPT] [STEP ARG...]...\n"
    L"steps: timeout SECONDS | wait TITLE | gone TITLE | list | expect ID TEXT |\n"
    L"       settext ID TEXT | click ID | press ID | check ID | uncheck ID |\n"
    L"       answer CAPTION BUTTON | on CAPTION BUTTON | idle SECONDS | exit IMAGE |\n"
    L"       shot NAME | echo TEXT | windows | key ID KEY | close | until ID TEXT\n"
    L"TITLE, CAPTION and TEXT may hold * and ?; BUTTON is ok, cancel, abort, retry,\n"
    L"ignore, yes, no, close, help or a control id.";

struct ButtonName {
    const wchar_t* name;
    int id;
};

constexpr ButtonName kButtons[] = {
    {L"ok", IDOK},   {L"cancel", IDCANCEL}, {L"abort", IDABORT}, {L"retry", IDRETRY}, {L"ignore", IDIGNORE},
    {L"yes", IDYES}, {L"no", IDNO},         {L"close", IDCLOSE}, {L"help", IDHELP},
};

// A control id or a button name; -1 when it is neither.
int ParseId(const std::wstring& word) {
    for (const ButtonName& b : kButtons)
        if (_wcsicmp(word.c_str(), b.name) == 0) return b.id;
    wchar_t* end = nullptr;
    const long id = std::wcstol(word.c_str(), &end, 0);
    if (word.empty() || *end != L'\0' || id < 0 || id > 0xFFFF) return -1;
    return static_cast<int>(id);
}

struct KeyName {
    const wchar_t* name;
    WORD key;
};

constexpr KeyName kKeys[] = {
    {L"enter", VK_RETURN},
    {L"escape", VK_ESCAPE},
    {L"tab", VK_TAB},
    {L"space", VK_SPACE},
};

// A virtual-key code by name; 0 when the name is unknown.
WORD ParseKey(const std::wstring& word) {
    for (const KeyName& k : kKeys)
        if (_wcsicmp(word.c_str(), k.name) == 0) return k.key;
    return 0;
}

bool IsCheckBox(HWND control) {
    // Static styles share the values (SS_ICON is BS_AUTOCHECKBOX).
    if (_wcsicmp(ClassOf(control).c_str(), L"Button") != 0) return false;
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

class Robot {
public:
    // Runs the steps; false after the first failure, which has been printed.
    bool Run(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            failure_.clear();
            if (Do(step)) continue;
            std::wstring words = step.name;
            for (const std::wstring& a : step.args) words += L" " + Quoted(a);
            PrintLine(L"fail " + words + L": " + failure_);
            return false;
        }
        Poll();  // report what the last step brought up
        return true;
    }

private:
    struct Rule {
        std::wstring caption;
        int button;
    };

    bool Fail(const std::wstring& why) {
        failure_ = why;
        return false;
    }

    // Polls until done() holds, noting and answering boxes meanwhile; false
    // after the time-out.
    bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
        const ULONGLONG end = GetTickCount64() + timeoutMs;
        for (;;) {
            Poll();
            if (done()) return true;
            if (GetTickCount64() >= end) return false;
            Sleep(kPollMs);
        }
    }

    // Prints every new dialog-class window with its static texts (so every
    // message box is reported once) and answers those the rules name.
    void Poll() {
        for (auto it = seen_.begin(); it != seen_.end();)
            it = IsWindow(*it) ? std::next(it) : seen_.erase(it);
        for (auto it = answered_.begin(); it != answered_.end();)
            it = IsWindow(*it) ? std::next(it) : answered_.erase(it);

        for (HWND window : VisibleTopLevelWindows()) {
            if (!IsDialogClass(window)) continue;
            Note(window);
            if (answered_.count(window) != 0) continue;
            const std::wstring caption = TextOf(window);
            for (const Rule& rule : rules_) {
                if (!GlobMatch(rule.caption.c_str(), caption.c_str())) continue;
                if (!Press(window, rule.button, L"answer", true))
                    PrintLine(L"cannot answer " + Quoted(caption) + L": " + failure_);
                answered_.insert(window);
                break;
            }
        }
    }

    // Reports a dialog-class window the first time it is met.
    void Note(HWND window) {
        if (seen_.insert(window).second)
            PrintLine(L"seen " + Quoted(TextOf(window)) + L" " + Quoted(StaticTextsOf(window)));
    }

    // Clicks a button of a dialog as the user would: the dialog gets
    // WM_COMMAND with the id.  Posted, so that a modal box opened by the
    // click does not block the robot.  An answered box is not matched again.
    bool Press(HWND dialog, int id, const wchar_t* verb, bool answering) {
        Note(dialog);
        HWND button = GetDlgItem(dialog, id);
        if (button == nullptr) return Fail(L"no control " + std::to_wstring(id));
        if (!IsWindowEnabled(button)) return Fail(L"control " + std::to_wstring(id) + L" is disabled");
        PrintLine(std::wstring(verb) + L" " + Quoted(TextOf(dialog)) + L" " + std::to_wstring(id) + L" " +
                  Quoted(TextOf(button)));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        if (answering) answered_.insert(dialog);
        return true;
    }

    HWND FindTitled(const std::wstring& pattern, bool dialogsOnly) {
        for (HWND window : VisibleTopLevelWindows()) {
            if (answered_.count(window) != 0) continue;
            if (dialogsOnly && !IsDialogClass(window)) continue;
            if (GlobMatch(pattern.c_str(), TextOf(window).c_str())) return window;
        }
        return nullptr;
    }

    // The control with this id in the current window, or null after a failure.
    HWND ControlOf(const std::wstring& word) {
        if (current_ == nullptr || !IsWindow(current_)) {
            Fail(L"no current window (use wait first)");
            return nullptr;
        }
        const int id = ParseId(word);
        HWND control = id < 0 ? nullptr : GetDlgItem(current_, id);
        if (control == nullptr) Fail(L"no control " + word + L" in " + Quoted(TextOf(current_)));
        return control;
    }

    bool SetChecked(const std::wstring& id, bool checked) {
        HWND box = ControlOf(id);
        if (box == nullptr) return false;
        if (!IsCheckBox(box)) return Fail(L"control " + id + L" is not a check box");
        const WPARAM want = checked ? BST_CHECKED : BST_UNCHECKED;
        auto state = [box] { return static_cast<WPARAM>(SendMessageW(box, BM_GETCHECK, 0, 0)); };
        if (state() == want) return true;
        // A click toggles the box and then notifies the dialog, in that order.
        PostMessageW(box, BM_CLICK, 0, 0);
        return WaitUntil([&] { return state() == want; }, timeoutMs_) ||
               Fail(L"the check box did not change");
    }

    void List() {
        PrintLine(L"window " + Quoted(TextOf(current_)) + L" " + ClassOf(current_));
        for (const Control& c : ControlsOf(current_)) {
            std::wstring line =
                L"control " + std::to_wstring(c.id) + L" " + c.className + L" " + Quoted(c.text);
            if (IsCheckBox(c.window))
                line +=
                    SendMessageW(c.window, BM_GETCHECK, 0, 0) == BST_CHECKED ? L" checked" : L" unchecked";
            if (!IsWindowEnabled(c.window)) line += L" disabled";
            if (!IsWindowVisible(c.window)) line += L" hidden";
            PrintLine(line);
        }
    }

    bool Shot(const std::wstring& name) {
        wchar_t folder[MAX_PATH];
        const DWORD length = GetEnvironmentVariableW(L"ROBOT_SHOT_DIR", folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            PrintLine(L"shot " + Quoted(name) + L" skipped (ROBOT_SHOT_DIR not set)");
            return true;
        }
        // The runner takes the screenshot and removes the request.
        const std::wstring request = std::wstring(folder) + L"\\" + name + L".request";
        HANDLE file = CreateFileW(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return Fail(L"cannot create " + request);
        CloseHandle(file);
        if (!WaitUntil([&] { return GetFileAttributesW(request.c_str()) == INVALID_FILE_ATTRIBUTES; },
                       timeoutMs_))
            return Fail(L"nobody took the screenshot");
        PrintLine(L"shot " + Quoted(name));
        return true;
    }

    bool Do(const Step& step) {
        const std::wstring& name = step.name;
        const std::vector<std::wstring>& a = step.args;
        if (name == L"timeout") {
            const double seconds = std::wcstod(a[0].c_str(), nullptr);
            if (!(seconds > 0 && seconds < 3600)) return Fail(L"a time-out is 0 to 3600 seconds");
            timeoutMs_ = static_cast<DWORD>(seconds * 1000);
            return true;
        }
        if (name == L"wait") {
            HWND found = nullptr;
            if (!WaitUntil([&] { return (found = FindTitled(a[0], false)) != nullptr; }, timeoutMs_))
                return Fail(L"no such window");
            // A dialog that came up after the last poll is reported now, while
            // it stands, not when a later step may already have closed it.
            if (IsDialogClass(found)) Note(found);
            current_ = found;
            return true;
        }
        if (name == L"gone")
            return WaitUntil([&] { return FindTitled(a[0], false) == nullptr; }, timeoutMs_) ||
                   Fail(L"the window stayed");
        if (name == L"answer") {
            const int id = ParseId(a[1]);
            if (id < 0) return Fail(L"unknown button");
            HWND box = nullptr;
            if (!WaitUntil([&] { return (box = FindTitled(a[0], true)) != nullptr; }, timeoutMs_))
                return Fail(L"no such box");
            if (!Press(box, id, L"answer", true)) return false;
            return WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, timeoutMs_) ||
                   Fail(L"the box stayed open");
        }
        if (name == L"on") {
            const int id = ParseId(a[1]);
            if (id < 0) return Fail(L"unknown button");
            rules_.push_back({a[0], id});
            return true;
        }
        if (name == L"idle") {
            const double seconds = std::wcstod(a[0].c_str(), nullptr);
            if (!(seconds >= 0 && seconds < 3600)) return Fail(L"idle for 0 to 3600 seconds");
            WaitUntil([] { return false; }, static_cast<DWORD>(seconds * 1000));
            return true;
        }
        if (name == L"exit")
            return WaitUntil([&] { return !ProcessRunning(a[0]); }, timeoutMs_) ||
                   Fail(L"the process is still running");
        if (name == L"shot") return Shot(a[0]);
        if (name == L"echo") {
            PrintLine(L"echo " + a[0]);
            return true;
        }

        if (name == L"close") {
            // The caption's close box, as the system menu sends it.
            if (current_ == nullptr || !IsWindow(current_))
                return Fail(L"no current window (use wait first)");
            PrintLine(L"close " + Quoted(TextOf(current_)));
            PostMessageW(current_, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        }
        if (name == L"windows") {
            for (HWND window : VisibleTopLevelWindows())
                PrintLine(L"top " + Quoted(TextOf(window)) + L" " + ClassOf(window));
            return true;
        }
        if (name == L"list") {
            if (current_ == nullptr || !IsWindow(current_))
                return Fail(L"no current window (use wait first)");
            List();
            return true;
        }

        // The rest work on a control of the current window.
        HWND control = ControlOf(a[0]);
        if (control == nullptr) return false;
        if (name == L"expect") {
            const std::wstring text = TextOf(control);
            return GlobMatch(a[1].c_str(), text.c_str()) || Fail(L"the text is " + Quoted(text));
        }
        if (name == L"settext") {
            SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[1].c_str()),
                                SMTO_ABORTIFHUNG, 2000, nullptr);
            const std::wstring text = TextOf(control);
            return text == a[1] || Fail(L"the text became " + Quoted(text));
        }
        if (name == L"click") return Press(current_, GetDlgCtrlID(control), L"click", false);
        if (name == L"press") {
            if (!IsWindowEnabled(control)) return Fail(L"the control is disabled");
            PostMessageW(control, BM_CLICK, 0, 0);
            return true;
        }
        if (name == L"until") {
            // Waits for a control's text, e.g. the entry a progress window names.
            auto matches = [&] { return GlobMatch(a[1].c_str(), TextOf(control).c_str()); };
            if (WaitUntil([&] { return !IsWindow(control) || matches(); }, timeoutMs_) && IsWindow(control))
                return true;
            return Fail(IsWindow(control) ? L"the text stayed " + Quoted(TextOf(control))
                                          : std::wstring(L"the window has gone"));
        }
        if (name == L"key") {
            // A key typed into the control: the dialog's own message loop
            // sees it, so Enter and Escape act as they do for the user.
            const WORD key = ParseKey(a[1]);
            if (key == 0) return Fail(L"unknown key");
            PrintLine(L"key " + Quoted(TextOf(current_)) + L" " + a[0] + L" " + a[1]);
            PostMessageW(control, WM_KEYDOWN, key, 1);
            PostMessageW(control, WM_KEYUP, key, 0xC0000001);
            return true;
        }
        if (name == L"check") return SetChecked(a[0], true);
        if (name == L"uncheck") return SetChecked(a[0], false);
        return Fail(L"unknown step");
    }

    DWORD timeoutMs_ = 30000;
    HWND current_ = nullptr;
    std::vector<Rule> rules_;
    std::set<HWND> seen_;      // dialog-class windows already reported
    std::set<HWND> answered_;  // boxes a button was pressed in
    std::wstring failure_;
};

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> words;
    std::wstring error;
    for (int i = 1; i < argc; i++) {
        const std::wstring arg = argv[i];
        if (arg == L"-h" || arg == L"--help") {
            PrintLine(kUsage);
            return 0;
        }
        if (arg == L"-f") {
            if (i + 1 >= argc) {
                error = L"-f needs a script file";
                break;
            }
            if (!ReadScriptWords(argv[++i], words, error)) break;
            continue;
        }
        words.push_back(arg);
    }
    LocalFree(argv);

    std::vector<Step> steps;
    if (error.empty()) ParseSteps(words, steps, error);
    if (!error.empty()) {
        PrintLine(L"robot: " + error);
        PrintLine(kUsage);
        return 2;
    }
    Robot robot;
    return robot.Run(steps) ? 0 : 1;
}
