# Sourced by the command-line tests: the order in which the program puts one
# output on the disk, read from a trace of its system calls, as letters:
#   T  the temporary file beside the output is created
#   F  that temporary file is flushed (fsync, fdatasync; FlushFileBuffers)
#   R  the temporary file is renamed onto the output
#   D  the folder is flushed after the rename (POSIX: fsync of the folder;
#      Windows: the move asks to be written through, MOVEFILE_WRITE_THROUGH)
#   ?  a flush or rename of something else, or a call this reading does not
#      expect (ReplaceFile, a rename to another name)
# A safe writer gives T, one or more F, R, D: "TFRD".
#
# native_write_order TRACE TARGET: TRACE is the prefix of the files of
# `strace -ff -e trace=open,openat,fsync,fdatasync,rename,renameat,renameat2
# -o TRACE` (one file per thread); TARGET the output as the program was given it.
native_write_order() {
  local trace=$1 target=$2 folder name file
  folder=$(dirname "$target") name=$(basename "$target")
  file=$(grep -l -F "/.$name." "$trace".* 2>/dev/null | xargs -r grep -l "O_CREAT" | head -1)
  [ -n "$file" ] || return 0
  awk -v target="$target" -v folder="$folder" -v prefix="$folder/.$name." '
    { split($0, q, "\""); result = $NF }
    /^open(at)?\(/ && /O_CREAT/ && index(q[2], prefix) == 1 && q[2] ~ /\.tmp$/ {
      temp = q[2]; temp_fd = result; order = order "T"; next
    }
    /^open(at)?\(/ && /O_DIRECTORY/ && q[2] == folder { folder_fd = result; next }
    /^f(data)?sync\(/ {
      fd = $0; sub(/^f(data)?sync\(/, "", fd); sub(/[^0-9].*/, "", fd)
      order = order (temp_fd != "" && fd == temp_fd ? "F" : folder_fd != "" && fd == folder_fd ? "D" : "?"); next
    }
    /^rename(at2?)?\(/ {
      if (temp != "" && q[2] == temp && q[4] == target) { order = order "R"; temp_fd = "" } else order = order "?"
      next
    }
    END { print order }
  ' "$file"
}

# windows_write_order RELAY TARGET: RELAY is the standard error of a Windows
# program run with WINEDEBUG=+relay and RelayInclude naming CreateFileA/W,
# FlushFileBuffers, MoveFileExA/W and ReplaceFileA/W of kernel32.
windows_write_order() {
  local relay=$1 target=$2
  awk -v target="$target" -v prefix="$(dirname "$target")/.$(basename "$target")." '
    # Names with either separator (the relay trace doubles a backslash).
    { split($0, q, "\""); gsub(/\\\\/, "/", q[2]); gsub(/\\\\/, "/", q[4]); thread = substr($0, 1, index($0, ":") - 1) }
    /:Call KERNEL32\.CreateFile[AW]\(/ && index(q[2], prefix) == 1 && q[2] ~ /\.tmp$/ {
      pending[thread] = q[2]; next
    }
    /:Ret  KERNEL32\.CreateFile[AW]\(\)/ && (thread in pending) {
      temp = pending[thread]; delete pending[thread]; writer = thread
      handle = $0; sub(/.*retval=/, "", handle); sub(/ .*/, "", handle)
      order = order "T"; next
    }
    thread != writer { next }  # other threads, other processes of Wine
    /:Call KERNEL32\.FlushFileBuffers\(/ {
      h = $0; sub(/.*FlushFileBuffers\(/, "", h); sub(/\).*/, "", h)
      order = order (h == handle ? "F" : "?"); next
    }
    /:Call KERNEL32\.MoveFileEx[AW]\(/ {
      flags = $0; sub(/\) ret=.*/, "", flags); sub(/.*,/, "", flags)
      # MOVEFILE_REPLACE_EXISTING (1) and MOVEFILE_WRITE_THROUGH (8): the
      # last hex digit is 9, b, d or f.
      if (temp != "" && q[2] == temp && q[4] == target) {
        order = order "R" (substr(flags, length(flags), 1) ~ /[9bdfBDF]/ ? "D" : "")
        handle = ""
      } else order = order "?"
      next
    }
    /:Call KERNEL32\.ReplaceFile[AW]\(/ { order = order "?"; next }
    END { print order }
  ' "$relay"
}
