# A command the shell cannot start: the shell's own error box is answered,
# then the module goes on to remove what it extracted.
timeout 30
answer "Error" ok
exit pkg.exe
