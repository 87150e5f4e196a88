// Message boxes of the module: string-table texts and the archive core's
// fixed English texts, captioned "VID-IDA".  The one place that shows them.
#pragma once

#include <windows.h>

#include "archive/reporter.h"
#include "base/in_place.h"

inline constexpr wchar_t kCaption[] = L"VID-IDA";

// Units of the buffer a string-table entry is loaded into; a format that
// takes a text may be longer.
constexpr int kStringSize = 128;
constexpr int kLongStringSize = 256;
// Units of the buffer a string-table entry is formatted into.
constexpr int kMessageSize = 512;

// Shows a message box and logs its text.  Every box of the module goes
// through this one call, which the tests replace with a recorder.  Texts are
// UTF-16, so that names show whatever the system's code page.  In a silent
// run nothing is shown and the answer is IDOK (IDYES for a yes/no question).
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// Loads string-table entry `id` into buffer (size units); empty if missing.
void LoadText(UINT id, wchar_t* buffer, int size);

// Shows string-table entry `id` with the caption "VID-IDA".
int ShowStringMessage(HWND owner, UINT id, UINT type);

// Shows string-table entry `id` (up to 255 units), whose one "%s" takes
// text, with the caption "VID-IDA" unless another is given.  A long text is
// cut to fit the message buffer.
int ShowStringMessageWith(HWND owner, UINT id, const wchar_t* text, UINT type, const wchar_t* caption = kCaption);

// Owner of the worker's and the decoder's boxes: the progress window while
// it exists, otherwise none.
HWND ProgressOwner();

// Shows the archive core's fixed fault texts ("invalid header.", "CRC
// Error!", ...) captioned "VID-IDA", owned by the progress window while it
// exists.  While `holding`, it keeps the first text in `held` instead, for
// the caller to show with the entry's name.
class MessageBoxReporter final : public lzh::Reporter {
public:
    void Report(const char* text) override;

    bool holding = false;
    const char* held = nullptr;
};

// Made by the run driver (or a test) before the header reader uses it.
extern InPlace<MessageBoxReporter> g_reporter;
