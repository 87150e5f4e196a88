// Resource ids of the self-extracting module: dialogs, their controls, the
// string table entries and the icons.  Shared by the resource scripts and
// the code; keep it free of anything a resource compiler cannot read.
#pragma once

// Dialogs.
#define IDD_DESTINATION     102  // "Confirm Extracting": destination folder
#define IDD_CRC_CHECK       103  // whole-archive CRC-32 check, no caption
#define IDD_CONFIRM_REPLACE 119  // "Confirm File Replace"
#define IDD_PROGRESS        120  // "Decompressing...", modeless

// Controls.  Buttons 1, 2, 6 and 7 are IDOK, IDCANCEL, IDYES and IDNO.
#define IDC_EXISTING_ICON  105  // 119: shell icon beside the existing file
#define IDC_ENTRY_ICON     107  // 119: shell icon beside the entry
#define IDC_BROWSE         108  // 102: "&Browse..."
#define IDC_DESTINATION    109  // 102: destination edit field
#define IDC_YES_TO_ALL     110  // 119: "Yes to &All"
#define IDC_PROGRESS_BAR   111  // 103 and 120: progress bar
#define IDC_NEWER          112  // 119: "Newe&r"
#define IDC_EXISTING_LINE  113  // 119: existing file's size and date
#define IDC_ENTRY_NAME     114  // 120: name of the entry being written
#define IDC_CANCEL_RUN     115  // 119: "&Cancel"
#define IDC_ENTRY_LINE     116  // 119: entry's size and date
#define IDC_REPLACE_PROMPT 117  // 119: format with one %s for the file name
#define IDC_ARCHIVE_FOLDER 118  // 102: "&Create folder as the archive name..."
#define IDC_REPLACE_ICON   121  // 119: icon 104

// String table entries (LoadStringA).
#define IDS_CANNOT_CREATE_FILE     1
#define IDS_CANNOT_OPEN_ARCHIVE    2
#define IDS_NOT_SUPPORTED          3
#define IDS_CREATE_FOLDER_QUESTION 4  // one %s: the folder
#define IDS_CANNOT_CREATE_FOLDER   5
#define IDS_INVALID_FILENAME       6  // one %s: the entry name
#define IDS_FOLDER_FORBIDDEN       7
#define IDS_CRC32_ERROR            8  // Japanese form has one %s: the file
#define IDS_DATE_LINE              9  // see FormatDateLine
#define IDS_INVALID_PATH           10
#define IDS_BROWSE_TITLE           11
#define IDS_NEEDS_WIN64            12
#define IDS_CANNOT_WRITE_FILE      13  // shown after an entry's name
#define IDS_PATH_TOO_LONG          14  // one %s: the entry name
#define IDS_ARCHIVE_DAMAGED        15
#define IDS_MORE_SKIPPED           16  // one %u: how many more entries of the same cause
#define IDS_COMMAND_LINE_TOO_LONG  17
#define IDS_SWITCHES               18  // the /? box

// Icon groups.  103 is the first group and so the module's own icon.
#define IDI_MODULE  103
#define IDI_REPLACE 104

// Animation of the system's file copy in shell32.dll.
#define IDA_SHELL_FILE_COPY 161
