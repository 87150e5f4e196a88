# A package whose archive part was changed after packing: the warning is
# answered whenever it comes, and the run (without a command) goes on.
timeout 30
on "Warning" ok
exit pkg.exe
