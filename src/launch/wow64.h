// WOW64 file-system redirection: whether this 32-bit process runs on 64-bit
// Windows, and switching the redirection of system folders off and on for
// the calling thread.  The entry points are bound at run time, since older
// systems lack them.
#pragma once

constexpr int kWow64Query = -1;  // does the process run under WOW64?
constexpr int kWow64Off = 0;     // redirection off for this thread
constexpr int kWow64On = 1;      // redirection on again

// kWow64Query: nonzero when the process runs under WOW64 and redirection
// can be controlled.  kWow64Off, kWow64On: what the system call returned,
// nonzero on success; 0 where the entry point is missing.
int Wow64Redirection(int mode);
