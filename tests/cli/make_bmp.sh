# Sourced by the command-line tests: make_bmp W H FILE writes a 24-bit BMP
# of W x H pixels of noise, with no tool but the shell.
le32() {
  local v=$1
  printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $(((v >> 8) & 255)) $(((v >> 16) & 255)) $(((v >> 24) & 255))
}
make_bmp() {
  local w=$1 h=$2 file=$3
  local row=$(((w * 3 + 3) / 4 * 4))
  local size=$((row * h))
  # shellcheck disable=SC2059
  {
    printf "BM$(le32 $((54 + size)))\\x00\\x00\\x00\\x00$(le32 54)"
    printf "$(le32 40)$(le32 "$w")$(le32 "$h")\\x01\\x00\\x18\\x00$(le32 0)$(le32 "$size")"
    printf "$(le32 2835)$(le32 2835)$(le32 0)$(le32 0)"
    head -c "$size" /dev/urandom
  } >"$file"
}
