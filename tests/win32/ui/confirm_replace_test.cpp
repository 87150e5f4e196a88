// Dialog 119, the overwrite confirmation, shown on a worker thread and owned
// by the progress window, driven button by button.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "archive/lha_format.h"
#include "archive/reporter.h"
#include "res/resource.h"
#include "ui/ui.h"
#include "window_driver.h"

namespace {

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    return lzh::PackDosTime({static_cast<unsigned>(year), static_cast<unsigned>(month),
                             static_cast<unsigned>(day), static_cast<unsigned>(hour),
                             static_cast<unsigned>(minute), static_cast<unsigned>(second)});
}

struct Outcome {
    int32_t result = 0;
    bool shown = false;
    bool closedByAct = false;
    bool quit = false;
    std::string prompt;
    std::string existingLine;
    std::string entryLine;
    HICON existingIcon = nullptr;
    HICON entryIcon = nullptr;
    size_t animationCallsWhileOpen = 0;
};

class DialogConfirmReplace : public testing::Test {
protected:
    void SetUp() override {
        OpenProgressWindow(1 << 20, &abortState_);
        ASSERT_NE(g_ui.progressWindow, nullptr);

        char folder[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        path_ = std::string(folder) + "h2 sample.txt";
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        CloseHandle(file);
        widePath_.assign(path_.begin(), path_.end());  // ASCII
        info_ = {widePath_.c_str(), DosDateTime(2024, 1, 2, 10, 20, 30), DosDateTime(2024, 3, 1, 8, 0, 0),
                 1234567, 0};
    }

    void TearDown() override {
        if (IsWindow(g_ui.progressWindow)) SendMessageA(g_ui.progressWindow, WM_CLOSE, 0, 0);
        TakeQuitMessage();
        DeleteFileA(path_.c_str());
    }

    // Calls ConfirmReplace on a worker thread; once the dialog shows, notes
    // what it displays and hands it to act.
    Outcome Run(const std::function<void(HWND)>& act) {
        Outcome outcome;
        Worker worker([&] { outcome.result = ConfirmReplace(&info_); });
        DialogDriver driver(worker.id(), [&](HWND dialog) {
            outcome.prompt = ItemText(dialog, IDC_REPLACE_PROMPT);
            outcome.existingLine = ItemText(dialog, IDC_EXISTING_LINE);
            outcome.entryLine = ItemText(dialog, IDC_ENTRY_LINE);
            outcome.existingIcon =
                reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, IDC_EXISTING_ICON, STM_GETICON, 0, 0));
            outcome.entryIcon =
                reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, IDC_ENTRY_ICON, STM_GETICON, 0, 0));
            if (recorder_ != nullptr) outcome.animationCallsWhileOpen = recorder_->calls().size();
            act(dialog);
        });
        outcome.quit = worker.PumpUntilDone();
        driver.Join();
        outcome.shown = driver.found();
        outcome.closedByAct = driver.finished();
        return outcome;
    }

    std::string path_;
    std::wstring widePath_;
    ReplaceInfo info_;
    std::atomic<int32_t> abortState_{lzh::kAbortNone};
    AnimationRecorder* recorder_ = nullptr;
};

std::string ExpectedLine(const wchar_t* english, const wchar_t* japanese) {
    return Ansi(JapaneseUi() ? japanese : english);
}

TEST_F(DialogConfirmReplace, ShowsTheNameTheShellIconAndBothLines) {
    const Outcome outcome = Run([](HWND dialog) { ClickButton(dialog, IDNO); });
    ASSERT_TRUE(outcome.shown);
    EXPECT_EQ(outcome.prompt,
              ExpectedLine(L"'h2 sample.txt'", L"展開先には既に 'h2 sample.txt' のファイルが存在します。"));
    EXPECT_EQ(outcome.existingLine, ExpectedLine(L"1,234,567 Bytes\nModified: 01, 02, 2024,  10:20:30",
                                                 L"1,234,567 バイト\n2024年01月02日 火曜日、10:20:30"));
    EXPECT_EQ(outcome.entryLine, ExpectedLine(L"0 Bytes\nModified: 03, 01, 2024,  08:00:00",
                                              L"0 バイト\n2024年03月01日 金曜日、08:00:00"));
    EXPECT_NE(outcome.existingIcon, nullptr);
    EXPECT_EQ(outcome.existingIcon, outcome.entryIcon);
}

TEST_F(DialogConfirmReplace, NamesOfAnyScriptShowAsTheyAre) {
    const std::wstring name = L"\u8868\u793a \u03ac\u03bb\u03c6\u03b1 \U0001F600.txt";
    const std::wstring path = widePath_.substr(0, widePath_.rfind(L'\\') + 1) + name;
    CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    info_.path = path.c_str();
    std::wstring prompt;
    const Outcome outcome = Run([&](HWND dialog) {
        wchar_t text[512];
        GetDlgItemTextW(dialog, IDC_REPLACE_PROMPT, text, 512);
        prompt = text;
        ClickButton(dialog, IDNO);
    });
    DeleteFileW(path.c_str());
    ASSERT_TRUE(outcome.shown);
    EXPECT_NE(prompt.find(L"'" + name + L"'"), std::wstring::npos) << Ansi(prompt);
}

TEST_F(DialogConfirmReplace, AnUnknownTimeLeavesItsLineEmpty) {
    info_.existingTime = 0;
    info_.existingSize = 0;
    const Outcome outcome = Run([](HWND dialog) { ClickButton(dialog, IDYES); });
    ASSERT_TRUE(outcome.shown);
    EXPECT_EQ(outcome.existingLine, "");
    EXPECT_NE(outcome.entryLine, "");

    info_.entryTime = 0;
    const Outcome both = Run([](HWND dialog) { ClickButton(dialog, IDYES); });
    EXPECT_EQ(both.existingLine, "");
    EXPECT_EQ(both.entryLine, "");
}

TEST_F(DialogConfirmReplace, EachAnswerGivesItsResultAndKeepsTheProgressWindow) {
    const struct {
        int button;
        int32_t result;
    } answers[] = {
        {IDYES, IDYES},
        {IDNO, IDNO},
        {IDC_YES_TO_ALL, kReplaceAll},
        {IDC_NEWER, kReplaceNewer},
    };
    for (const auto& answer : answers) {
        SCOPED_TRACE(testing::Message() << "button " << answer.button);
        const Outcome outcome = Run([&](HWND dialog) { ClickButton(dialog, answer.button); });
        ASSERT_TRUE(outcome.shown);
        EXPECT_TRUE(outcome.closedByAct);
        EXPECT_EQ(outcome.result, answer.result);
        EXPECT_TRUE(IsWindow(g_ui.progressWindow));
        EXPECT_FALSE(outcome.quit);
        EXPECT_EQ(abortState_.load(), lzh::kAbortNone);
    }
}

TEST_F(DialogConfirmReplace, EnterChoosesTheDefaultYes) {
    const Outcome outcome = Run([](HWND dialog) { PressKey(GetDlgItem(dialog, IDYES), VK_RETURN); });
    EXPECT_TRUE(outcome.closedByAct);
    EXPECT_EQ(outcome.result, IDYES);
}

TEST_F(DialogConfirmReplace, CancelEscapeAndTheCloseBoxEndTheRunAndCloseTheProgressWindow) {
    const std::function<void(HWND)> ways[] = {
        [](HWND dialog) { ClickButton(dialog, IDC_CANCEL_RUN); },
        [](HWND dialog) { PressKey(GetDlgItem(dialog, IDYES), VK_ESCAPE); },
        [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    int way = 0;
    for (const auto& act : ways) {
        SCOPED_TRACE(testing::Message() << "way " << way++);
        if (!IsWindow(g_ui.progressWindow)) OpenProgressWindow(1 << 20, &abortState_);
        const Outcome outcome = Run(act);
        ASSERT_TRUE(outcome.shown);
        EXPECT_TRUE(outcome.closedByAct);
        EXPECT_EQ(outcome.result, kReplaceCancel);
        EXPECT_FALSE(IsWindow(g_ui.progressWindow));
        EXPECT_EQ(abortState_.load(), lzh::kAbortNone);  // the worker sets it, not the dialog
    }
}

TEST_F(DialogConfirmReplace, AnimationPausesWhileTheDialogIsOpen) {
    HWND animation = FindWindowExA(g_ui.progressWindow, nullptr, ANIMATE_CLASSA, nullptr);
    if (animation == nullptr) GTEST_SKIP() << "no file-copy animation in this system's shell32.dll";
    AnimationRecorder recorder(animation);
    recorder_ = &recorder;
    const Outcome outcome = Run([](HWND dialog) { ClickButton(dialog, IDNO); });
    recorder_ = nullptr;
    const std::vector<AnimationRecorder::Call> calls = recorder.calls();
    EXPECT_EQ(outcome.animationCallsWhileOpen, 1u);  // stopped before the dialog showed
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].message, static_cast<UINT>(ACM_STOP));
    EXPECT_EQ(calls[1].message, static_cast<UINT>(ACM_PLAY));
}

TEST_F(DialogConfirmReplace, ADialogThatCannotBeShownCountsAsCancel) {
    const HINSTANCE own = g_ui.resources;
    g_ui.resources = GetModuleHandleA("kernel32.dll");  // has no dialog 119
    const int32_t result = ConfirmReplace(&info_);
    g_ui.resources = own;
    EXPECT_EQ(result, kReplaceCancel);
}

}  // namespace
