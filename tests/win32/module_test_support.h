// Helpers of the module's Windows tests: a recorder in place of the message
// box, temporary folders, files, and a clean module state.
#pragma once

#include "app/command_line.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One message box the code under test asked for.
struct ShownMessage {
    HWND owner;
    std::string text;  // in the ANSI code page
    std::string caption;
    UINT type;
    std::wstring wideText;  // as shown
};

// Texts between the ANSI code page and UTF-16.
std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);
// A full path with the \\?\ prefix (kept when it has one).
std::wstring LongPath(const std::wstring& path);

// Every box since the last ClearMessages(); the answer each box returns.
std::vector<ShownMessage>& ShownMessages();
void ClearMessages();
void SetMessageAnswer(int answer);

// Start values of a run: settings zeroed with openFolder 1, no abort, no
// progress window, no deployer's switches (TestSwitches(), zeroed), not
// silent and no log, the test program as the module.
void ResetModuleState();
DeployerSwitches& TestSwitches();

// A new empty folder under the temporary folder, removed with everything
// in it by the destructor.  path() ends with a backslash.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Through the \\?\ prefix: names of any script, paths of any length.
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);

// The test program's own file name.
std::string ModuleFileName();
