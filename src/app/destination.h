// Turns the destination text as typed or configured into an absolute folder
// path with a trailing backslash.
#pragma once

// Resolves relative forms against archiveFolder (the archive's folder with
// its trailing backslash): empty, a bare name, "\x", ".\x" and "..\" chains.
// Returns 1 with the resolved folder in destination (MAX_PATH units), or 0
// when the text holds a character no folder name may hold, climbs above
// the archive folder's root, or would not fit; destination then holds a
// copy of archiveFolder.
int ResolveDestination(wchar_t* destination, const wchar_t* archiveFolder);
