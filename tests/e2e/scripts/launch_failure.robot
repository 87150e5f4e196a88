# A folder of an entry cannot be made: the error is answered and the run
# ends without starting the command.
timeout 30
answer "VID-IDA" ok
exit pkg.exe
