# A package that opens its destination afterwards: Explorer shows the folder.
timeout 30
wait "out"
windows
