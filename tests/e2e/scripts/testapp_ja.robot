# testapp --ja under a Japanese user interface: titles, texts and typed text
# in Japanese; a screenshot of the dialog and of the question.
timeout 20
on "ベンチ完了" ok
wait "ベンチテスト"
expect 102 "記憶する(&R)"
settext 101 "日本語の名前"
shot testapp_ja_dialog
click 103
wait "ベンチの質問"
shot testapp_ja_question
answer "ベンチの質問" no
wait "ベンチ*"
click 1
exit testapp.exe
