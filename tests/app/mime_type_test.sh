#!/bin/sh
# The installed file type: a file manager given our MIME description knows
# conversation files by name and, whatever their name, by either magic
# number, and the desktop entry opens them with the file as argument.
set -eu
SRC=$1
DIR=$(mktemp -d /tmp/quelto-mime-XXXXXX)
trap 'rm -rf "$DIR"' EXIT
mkdir -p "$DIR/mime/packages"
cp "$SRC/res/quelto-conversation.xml" "$DIR/mime/packages/"
update-mime-database "$DIR/mime" >/dev/null 2>&1
export XDG_DATA_DIRS="$DIR" XDG_DATA_HOME="$DIR"
fail=0
expect() {
  got=$(xdg-mime query filetype "$1")
  if [ "$got" != "$2" ]; then echo "$1: $got, expected $2"; fail=1; fi
}
cp "$SRC/tests/conversation/data/golden_plain.tdd" "$DIR/plain.bin"
printf '\104\125\063\042\007\000\000\000' > "$DIR/protected.bin"
printf 'hello' > "$DIR/call.tdd"
printf '\021\125\063\043 not ours' > "$DIR/other.bin"
expect "$DIR/plain.bin" application/x-quelto-conversation
expect "$DIR/protected.bin" application/x-quelto-conversation
expect "$DIR/call.tdd" application/x-quelto-conversation
[ "$(xdg-mime query filetype "$DIR/other.bin")" != application/x-quelto-conversation ] ||
  { echo "other.bin taken for ours"; fail=1; }
grep -qx 'Exec=quelto %f' "$SRC/res/quelto.desktop" || { echo "Exec without %f"; fail=1; }
grep -qx 'MimeType=application/x-quelto-conversation;' "$SRC/res/quelto.desktop" ||
  { echo "desktop entry names no MIME type"; fail=1; }
exit $fail
