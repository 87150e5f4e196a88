# A package for 64-bit Windows on a 32-bit system: the refusal is answered.
timeout 60
answer "VID-IDA" ok
exit pkg.exe
