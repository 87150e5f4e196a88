// The packager's builder as a callable program, so that tests can run it
// without a process of its own.
#pragma once

#include <cstdio>

namespace mksfx {

// Exit status: 0 written; 1 an input was refused or the output could not be
// written; 2 a fault in the command line.  Messages are one line each, to
// err; the summary of a written package goes to out.
int RunMksfx(int argc, const char* const* argv, FILE* out, FILE* err);

}  // namespace mksfx
