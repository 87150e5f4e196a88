# A package with a question, the destination dialog and a missing
# destination folder, in English, with a screenshot of each box.
timeout 30
wait "Bench Setup"
shot sfx_en_question
answer "Bench Setup" yes
wait "Confirm Extracting"
list
expect 109 "*\out"
expect 118 "&Create folder as the archive name to extract"
shot sfx_en_destination
click 1
wait "VID-IDA"
shot sfx_en_create_folder
answer "VID-IDA" ok
exit pkg.exe
