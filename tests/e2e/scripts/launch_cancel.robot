# The replace question for an existing file is cancelled: the run ends
# after the extraction without starting the command.
timeout 30
wait "Confirm File Replace"
click 115
exit pkg.exe
