// The modes of lzhtool that live in their own files.
#pragma once

// lzhtool a [options] ARCHIVE FILES-OR-FOLDERS...
int AddMain(int argc, char** argv);
