# The same package under a Japanese user interface: the module's Japanese
# dialogs and messages, and a question text in Shift-JIS.
timeout 30
wait "Bench Setup"
shot sfx_ja_question
answer "Bench Setup" yes
wait "展開先の指定"
list
expect 118 "書庫名でフォルダを作成(&K)"
shot sfx_ja_destination
click 1
wait "VID-IDA"
shot sfx_ja_create_folder
answer "VID-IDA" ok
exit pkg.exe
