# Drives testapp's dialog: type a name, tick the box, ask (answer Yes), OK,
# then confirm the last box.
timeout 20
on "Bench Done" ok
wait "Bench Test"
list
settext 101 "Robot was here"
expect 101 "Robot*here"
check 102
click 103
answer "Bench Question" yes
uncheck 102
check 102
click 1
exit testapp.exe
