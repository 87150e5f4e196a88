# A package made by mksfx from files, branded and with Japanese texts, under
# a Japanese user interface: the question and the destination dialog.
timeout 60
wait "サンプル"
shot mksfx_branded_question
answer "サンプル" yes
wait "展開先の指定"
shot mksfx_branded_destination
click 1
exit pkg.exe
