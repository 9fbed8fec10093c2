# shellcheck shell=bash
# Check helpers shared by the shell tests (zfx_test.sh, mkstp_test.sh,
# gui/wizard_gui_test.sh). Sourced, not run: it only defines the failure
# counter and functions, and changes no options or environment.

# Every failed check is counted; each test reports and exits on the count.
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run_captured COMMAND...: runs the command with no terminal; stdout in
# out.txt, stderr in err.txt (Windows line ends removed, so the Wine runs
# compare like the Linux ones), the exit status in $rc. Files in the
# current folder.
run_captured() {
  "$@" </dev/null >out.raw 2>err.raw
  rc=$?
  tr -d '\r' <out.raw >out.txt
  tr -d '\r' <err.raw >err.txt
}

expect_rc() {  # expect_rc WANT WHAT: checks $rc (as run_captured sets it)
  if [ "$rc" != "$1" ]; then
    fail "$2: exit status $rc, expected $1"
    sed 's/^/    /' err.txt >&2
  fi
}

expect_in() {  # expect_in FILE TEXT WHAT
  grep -qF -- "$2" "$1" || { fail "$3: \"$2\" not in $1"; sed 's/^/    /' "$1" >&2; }
}

# is_windows_command COMMAND...: whether the command runs a Windows build
# (a program ending in .exe, with "wine" in front).
is_windows_command() {
  case "$*" in *.exe*) return 0 ;; esac
  return 1
}

# make_program FILE [stamp]: the headers of a Windows program (MS-DOS
# header, PE signature, a COFF header marking an executable image) and
# nothing else: what mkstp accepts as the wizard where the real one is not
# needed; with "stamp", the blank place of the package's stamp after them,
# as the real wizard carries it (src/package/PackageStamp.h).
make_program() {
  python3 -c 'import struct, sys
coff = struct.pack("<HHIIIHH", 0x14C, 0, 0, 0, 0, 0, 0x102)
stamp = b"zfsetup-stamp\x1a\x01\x7f" + bytes(496) if sys.argv[2:] == ["stamp"] else b""
open(sys.argv[1], "wb").write(b"MZ" + bytes(58) + struct.pack("<I", 64) + b"PE\0\0" + coff + stamp)' "$@"
}

# stamp_of FILE: what the package's stamp in a wizard says, as
# "FLAGS OFFSET SIZE SHA256 BASE" ("none" for a wizard without one), and
# whether the digest is the one of the bytes it names ("ok" or "differs").
stamp_of() {
  python3 -c 'import hashlib, struct, sys
d = open(sys.argv[1], "rb").read()
at = d.find(b"zfsetup-stamp\x1a\x01\x7f")
if at < 0: print("none"); sys.exit()
flags, offset, size = struct.unpack_from("<IQQ", d, at + 16)
digest = d[at + 36:at + 68].hex()
n, = struct.unpack_from("<H", d, at + 68)
base = d[at + 70:at + 70 + n].decode()
data = open(sys.argv[2], "rb").read() if len(sys.argv) > 2 else d[offset:offset + size]
ok = "ok" if hashlib.sha256(data).hexdigest() == digest and len(data) == size else "differs"
print(flags, offset, size, digest, base or "-", ok)' "$@"
}
