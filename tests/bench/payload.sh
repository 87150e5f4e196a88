# The package benchmarks' payload (~61 MB: Wine's own i386 binaries and the
# mingw-w64 headers of this machine), copied once into WORK/payload; sourced
# by package.sh and package_x64.sh.
payload_dll_dir=/usr/lib/i386-linux-gnu/wine/i386-windows
payload_header_dir=/usr/share/mingw-w64/include

# Copies up to $3 bytes of files from $1 (name order, each at most $2 bytes)
# into the folder $4.
copy_files() {
  local from=$1 limit=$2 budget=$3 to=$4 total=0 name size
  mkdir -p "$to"
  while read -r name; do
    [ -f "$from/$name" ] || continue
    size=$(stat -c %s "$from/$name")
    [ "$size" -le "$limit" ] || continue
    cp "$from/$name" "$to/"
    total=$((total + size))
    [ "$total" -lt "$budget" ] || break
  done < <(cd "$from" && ls | LC_ALL=C sort)
}

# Makes WORK/payload unless it is there; returns 1 when it was made now
# (archives made from an earlier payload are then stale).
make_payload() {
  local work=$1
  [ -d "$payload_dll_dir" ] && [ -d "$payload_header_dir" ] ||
    { echo "bench: no $payload_dll_dir or $payload_header_dir" >&2; exit 2; }
  [ -f "$work/payload.done" ] && return 0
  rm -rf "$work/payload"
  copy_files "$payload_dll_dir" 2000000 52000000 "$work/payload/bin"
  copy_files "$payload_header_dir" 2000000 9000000 "$work/payload/include"
  touch "$work/payload.done"
  return 1
}
