// mksfx: appends a configuration block and an LHA archive to the
// self-extracting module.  See --help.
#include "cli.h"

int main(int argc, char** argv) { return mksfx::RunMksfx(argc, argv, stdout, stderr); }
