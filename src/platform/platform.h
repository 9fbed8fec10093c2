// The operating-system layer: the only place that talks to the system.
//
// Everything the engine, the tools and the wizard need from the operating
// system goes through these thin wrappers; nothing else includes a system
// header. Two implementations exist: win32/ calls the real API (the ANSI
// A-functions, as the engine's strings are in the ANSI code page) and posix/
// maps each call onto Linux.
//
// Linux conventions (the decisions behind posix/):
// - The ANSI code page is UTF-8, the file system's own encoding.
// - The OEM code page follows the language of the first of LC_ALL, LC_CTYPE
//   and LANG that is set, as Windows would choose it (866 for Russian, 857
//   for Turkish, 437 when nothing more specific is known), whether or not
//   that locale is installed; conversions go through iconv.
// - The user locale id is derived from the same language (0x0419 Russian,
//   0x041F Turkish, 0x0409 otherwise).
// - One-character comparison is byte order (ignoring ASCII case when asked)
//   and upper-casing covers ASCII only: a single byte above 0x7F is a piece
//   of a UTF-8 sequence, not a character.
// - Attributes: read-only is the absence of write permission, a directory is
//   a directory, hidden is a name beginning with "."; the archive bit is set
//   on every regular file.
//
// More Linux details (posix/):
// - Code pages by language: ru uk be bg 866, tr 857, el 737, pl cs sk hu hr
//   sl ro 852, lt lv et 775, he 862, de fr es it pt nl da nb no nn sv fi is
//   ca 850, anything else (en, C, POSIX, unset) 437. An empty variable counts
//   as unset. Computed on every call, so it follows setenv at once.
// - ConvertCodePage goes through UTF-32: bytes of the source that are no
//   character become U+FFFD, and each character the target lacks becomes
//   "_". Code pages 0 and 1 are the ANSI and OEM ones, as on Windows.
// - Read-only: SetAttributes with faReadOnly takes away all write bits,
//   without it gives the owner's back (u+w); hidden/system/archive are
//   ignored. A folder carries faDirectory, never faArchive.
// - "\" is an ordinary file-name character, only "/" separates; a trailing
//   "/" is accepted everywhere a folder is named.
// - DOS date-times are local time: setting uses mktime (summer time found
//   by the C library) and sets access and modification times; reading
//   floors an odd second (second / 2, as Windows' FileTimeToDosDateTime),
//   and clamps to 1980..2107. Impossible dates (month 13, 30 February) fail.
// - File: no share modes (the "deny write" is not enforced); descriptors
//   are close-on-exec; new files get 0666 less the umask.
// - IsDriveRemovable: the test hook, then the "removable" flag in sysfs of
//   the block device holding the path (its disk for a partition); false for
//   file systems without a block device (tmpfs, overlay, network).
// - DiskFreeBytes takes the nearest existing folder of a path not made yet.
//   VolumeLabel is always empty, and SetDriveLabel sets nothing.
// - Dialogs use /dev/tty (or standard input and error); MessageDialog shows
//   the buttons as "[Y]es [N]o [C]ancel", Enter picks the default button
//   (MB_DEFBUTTON2/3 honoured); end of input picks Cancel (or the only
//   button), else `unattended`. A hidden answer is read with echo off.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zf::os {

// ---- file attributes (the Windows bits, on both systems) -----------------
constexpr uint32_t faReadOnly = 0x01;
constexpr uint32_t faHidden = 0x02;
constexpr uint32_t faSysFile = 0x04;
constexpr uint32_t faVolumeID = 0x08;
constexpr uint32_t faDirectory = 0x10;
constexpr uint32_t faArchive = 0x20;
constexpr uint32_t faNormal = 0x80;
constexpr uint32_t faCompressed = 0x800;
constexpr uint32_t faNotContentIndexed = 0x2000;
// The attribute filter that selects every entry (10431, 0x28BF): what the
// wizard and the tools pass to Extract and FindFirstItem, and the default
// of Options.SearchAttr. Selection tests only hidden, system, volume label
// and directory, an entry carrying one of them qualifying only when the
// filter has it too; this filter has all four.
constexpr int32_t faSearchAll = faReadOnly | faHidden | faSysFile | faVolumeID | faDirectory |
                                faArchive | faNormal | faCompressed | faNotContentIndexed;
static_assert(faSearchAll == 10431);
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

// ---- files ----------------------------------------------------------------

// The three ways the archive component opens a file.
enum class OpenMode {
  Create,              // create or truncate, read/write, others may not write
  CreateNew,           // create a file that does not exist yet (fails if it does), as Create
  ReadWriteDenyWrite,  // existing file, read/write, others may not write
  ReadOnlyDenyNone,    // existing file, read-only, others may do anything
  // Existing file, read-only; others may read it but neither write,
  // rename nor delete it while it is open (Windows; POSIX has no sharing
  // modes and opens it as ReadOnlyDenyNone).
  ReadOnlyDenyWrite,
};
// The archive component keeps the mode of its archive file as a number in
// the classic file-open flags (access in the low bits: 0 read, 2 read and
// write; sharing above them: 0x20 deny write, 0x40 deny none; -1 create).
constexpr int16_t kOpenFlagsCreate = -1;
constexpr int16_t kOpenFlagsReadWriteDenyWrite = 0x02 | 0x20;  // 34
constexpr int16_t kOpenFlagsReadOnlyDenyNone = 0x00 | 0x40;    // 64

enum class SeekOrigin { Begin, Current, End };

// A file handle with 64-bit positions. Move-only; closes itself.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // False on failure; LastErrorCode() tells why.
  bool Open(const std::string& path, OpenMode mode);
  void Close();
  bool IsOpen() const;
  // A name that opens this file anew while it is open, even after its own
  // name is gone: /proc/self/fd/N on Linux; empty on Windows, where a file
  // is not opened by its handle.
  std::string OpenFilePath() const;

  // Bytes transferred (may be fewer than asked at the end of a file), or -1.
  int64_t Read(void* buffer, int64_t count);
  int64_t Write(const void* buffer, int64_t count);
  // The new position, or -1.
  int64_t Seek(int64_t offset, SeekOrigin origin);
  int64_t Size();              // -1 on failure
  bool Truncate();             // cut the file at the current position
  bool Flush();                // write through to the device

  // What SetFileDosDateTime, SetAttributes and SetUnixPermissions do for a
  // path, done on the open file: no name is looked up again, and a file
  // being written gets its time and attributes before it is closed.
  bool SetDosDateTime(uint32_t dosDateTime);
  bool SetAttributes(uint32_t attributes);
  bool SetUnixPermissions(uint32_t mode);

 private:
  friend class PendingFile;  // links its unnamed file in by the descriptor
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// A file that takes its final name only when it is complete. Until then it
// is written where no other program can take it for the result, and it is
// put in place in one step at the end; every other way out (failure,
// cancel, a killed process) leaves the target as it was.
// - Linux writes it without a name (O_TMPFILE in the target's folder: a
//   process killed meanwhile leaves nothing at all) and links it in at the
//   end. Replacing links it under a temporary name first and renames that
//   over the target, the one step that replaces a name atomically.
// - Where the file system has no unnamed files, and on Windows, it is a
//   temporary file "~zfXXXXXXXX.tmp" beside the target, renamed at the end
//   (Windows: MoveFileExW, written through) and removed on every other way
//   out; only a killed process can leave it behind.
class PendingFile {
 public:
  PendingFile() = default;
  ~PendingFile() { Discard(); }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Begins the file that is to become target, in target's folder (which
  // must exist). False on failure; LastErrorCode() tells why.
  bool Create(const std::string& target);
  // The open file; written between Create and Commit.
  File& Handle() { return file_; }
  // Closes the complete file and puts it in place. replace: an existing
  // file under the target's name is replaced, the old file or the new one
  // standing there at every moment. Otherwise a file that appeared under
  // that name meanwhile is never touched and the call fails (EEXIST,
  // ERROR_ALREADY_EXISTS). On failure nothing of the new file is left and
  // LastErrorCode() tells why.
  bool Commit(bool replace);
  // Closes and removes what Create began.
  void Discard();

 private:
  // Opens the file under the first free temporary name in folder.
  bool CreateNamed(const std::string& folder, const std::string& target);

  File file_;
  std::string target_;
  std::string temporary_;  // the temporary file's name; empty for an unnamed file
};

// The system's code of the last failed call of this thread (errno or
// GetLastError), and its text.
int LastErrorCode();
std::string ErrorText(int code);

// What kind of failure a system error code stands for, as far as a user
// can act on it: free space, get rights (or a writable medium), check the
// device.
enum class ErrorKind { Other, NoSpace, AccessDenied, IoError };
ErrorKind KindOfError(int code);

// ---- file system -----------------------------------------------------------

bool FileExists(const std::string& path);       // exists and is not a folder
bool DirectoryExists(const std::string& path);
bool CreateDir(const std::string& path);        // one level
bool ForceDirectories(const std::string& path); // with all missing parents
bool RemoveFile(const std::string& path);
bool RemoveDir(const std::string& path);        // an empty folder
// Renames, replacing an existing target file.
bool RenameFile(const std::string& from, const std::string& to);
int64_t FileSize(const std::string& path);      // -1 when there is none
// The absolute form of a path, "." and ".." resolved: Linux resolves
// symbolic links too and needs the path to exist; Windows makes the form
// from the name alone (GetFullPathName). "" when it cannot be made.
std::string FullPath(const std::string& path);

// Linux: makes a symbolic link at path that holds target. replace: a file
// or link standing there is replaced in one step (the link is made under a
// temporary name beside it and renamed over it); otherwise the call fails
// when anything stands there. Windows: false (ERROR_NOT_SUPPORTED); the
// engine makes no links there.
bool MakeSymlink(const std::string& target, const std::string& path, bool replace);
#ifdef _WIN32
inline constexpr bool kMakesSymlinks = false;
#else
inline constexpr bool kMakesSymlinks = true;
#endif

// One entry of a folder listing ("." and ".." are never listed).
struct DirEntry {
  std::string name;
  uint32_t attributes;
};
// The entries of a folder, in the order the system gives them; false when
// the folder cannot be read.
bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries);

uint32_t GetAttributes(const std::string& path);  // kInvalidAttributes if none
bool SetAttributes(const std::string& path, uint32_t attributes);
// Linux: sets the permission bits mode & 0777 of a regular file or folder
// (never set-id or sticky bits, never through a symbolic link); false for
// anything else. Windows has no such bits: true, nothing done.
bool SetUnixPermissions(const std::string& path, uint32_t mode);

// ---- names from archives ----------------------------------------------------

// Whether the file system refuses one segment of a stored name (a folder or
// file name, without separators), or would take it for something other
// than a file. Windows: the characters it forbids in names (: * ? " < > |
// and the control characters; a colon would also name a drive or an NTFS
// stream) and the device names CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9
// in any case, with or without an extension ("nul.txt" opens the NUL
// device and its data is lost). Linux: only a NUL byte, which would cut the
// name short; every other character is legal there.
bool IsRefusedNameSegment(std::string_view segment);

// ---- MS-DOS date and time (local time, two-second resolution) ---------------
// time = hour * 2048 + minute * 32 + second / 2
// date = (year - 1980) * 512 + month * 32 + day
// The combined 32-bit value holds the date in its high half, so it orders
// like the time it stands for. Archives store the two halves; files get and
// give the combined value (GetFileDosDateTime below).

struct DosDateTimeParts {
  int Year = 1980;
  int Month = 1;
  int Day = 1;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;  // even on decoding
};

// The fields are taken as given (year 1980-2107, month 1-12, day 1-31,
// hour 0-23, minute 0-59, second 0-59), each masked to its bits.
uint16_t EncodeDosDate(int year, int month, int day);
uint16_t EncodeDosTime(int hour, int minute, int second);
// A moment before 1980 becomes 1980-01-01 00:00:00 and one after 2107
// becomes 2107-12-31 23:59:58, the ends of what the encoding can hold.
uint32_t EncodeDosDateTime(const DosDateTimeParts& parts);
// The fields as stored, whatever they hold (month 0 and second 62 too).
DosDateTimeParts DecodeDosDateTime(uint32_t dosDateTime);
// Whether the parts name a moment that exists (no month 13, no 30 February):
// what Windows' conversion to a file time accepts.
bool IsPossibleDosDateTime(const DosDateTimeParts& parts);

inline uint32_t MakeDosDateTime(uint16_t date, uint16_t time) {
  return (static_cast<uint32_t>(date) << 16) | time;
}
inline uint16_t DosDateOf(uint32_t dosDateTime) { return static_cast<uint16_t>(dosDateTime >> 16); }
inline uint16_t DosTimeOf(uint32_t dosDateTime) { return static_cast<uint16_t>(dosDateTime); }

// Last-write time as a DOS date-time (date in the high 16 bits), local time.
bool GetFileDosDateTime(const std::string& path, uint32_t& dosDateTime);
bool SetFileDosDateTime(const std::string& path, uint32_t dosDateTime);

// A folder for temporary files, with a trailing separator.
std::string TempDirectory();

// ---- drives ----------------------------------------------------------------

bool IsDriveRemovable(const std::string& path);
// Bytes free for the caller on the drive of path, or -1.
int64_t DiskFreeBytes(const std::string& path);
// Label of the drive of path; empty when it has none or cannot be read.
std::string VolumeLabel(const std::string& path);

// Tests make a path count as removable (or not) without real hardware: the
// hook answers 1 (removable), 0 (fixed) or -1 (ask the system). An empty
// function removes the hook.
void SetRemovableHookForTests(std::function<int(const std::string&)> hook);

// Tests stop a program at a fixed point of its output: while set, the hook
// runs before every File::Write with the number of bytes about to be
// written (and may raise a signal, say). An empty function removes it.
void SetWriteHookForTests(std::function<void(int64_t count)> hook);

// Gives the drive of path a label (the disks of a spanned archive are
// labelled by their number); false when it cannot be set. Linux has no
// drive labels to set: always false there.
bool SetDriveLabel(const std::string& path, const std::string& label);

// Tests give a path any free space (a disk that is nearly full) and see the
// labels set, without real hardware: the free-space hook answers bytes, or
// a negative number to ask the system; the label hook stands for the system
// and answers whether the label was set. An empty function removes a hook.
void SetDiskFreeHookForTests(std::function<int64_t(const std::string&)> hook);
void SetDriveLabelHookForTests(
    std::function<bool(const std::string& path, const std::string& label)> hook);

// ---- volume files ------------------------------------------------------------

// Volume file names are not case-sensitive on Windows, and tools write
// "arc.z01" where another naming says "arc.Z01". Linux: when path does not
// exist, the existing file in the same folder whose name differs only in
// ASCII letter case (the first the system lists), else path itself.
// Windows: path itself.
std::string FindFileIgnoringCase(const std::string& path);

// ---- requests to stop --------------------------------------------------------

// Calls handler when the user or the system asks the program to stop:
// Linux SIGINT, SIGTERM and SIGHUP (a closed terminal); Windows Ctrl-C,
// Ctrl-Break, a closed console window, logoff and shutdown. The handler
// runs in a signal handler (Linux) or on a thread of the system's
// (Windows): it may set an atomic flag or end the process, nothing more.
// Windows ends the process as soon as the handler of a closed console,
// logoff or shutdown returns; there the call waits after the handler, and
// the program ends when its main thread has cleaned up and returned from
// main (or when the system's time-out ends it).
void SetStopRequestHandler(void (*handler)());

// ---- cryptography ----------------------------------------------------------
// The system's own primitives, never an implementation of ours: CNG
// (bcrypt) on Windows, OpenSSL's libcrypto on Linux. A primitive the system
// cannot give (no provider, no memory) throws std::runtime_error.

// SHA-256 over data given in pieces: Update as often as needed, then
// Final, which gives the digest and leaves the object spent.
class Sha256 {
 public:
  static constexpr size_t kDigestSize = 32;
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void Update(const void* data, size_t size);
  std::array<uint8_t, kDigestSize> Final();

 private:
  void* state_ = nullptr;  // EVP_MD_CTX or BCRYPT_HASH_HANDLE
};

// The primitives of the ciphers of archive entries (WinZip AES). Each
// object is used by one thread.

// PBKDF2 with HMAC-SHA1 (RFC 2898): out.size() bytes derived from password
// and salt in iterations rounds. False when the system refuses.
bool Pbkdf2HmacSha1(std::string_view password, std::span<const uint8_t> salt,
                    uint32_t iterations, std::span<uint8_t> out);

// HMAC-SHA1 (RFC 2104) over data given in pieces.
class HmacSha1 {
 public:
  static constexpr size_t kSize = 20;
  HmacSha1();
  ~HmacSha1();
  HmacSha1(const HmacSha1&) = delete;
  HmacSha1& operator=(const HmacSha1&) = delete;

  // Begins a code under key; false when the system refuses.
  bool Start(std::span<const uint8_t> key);
  void Update(const uint8_t* data, size_t n);
  // The code of everything given since Start; false when none can be had.
  bool Finish(uint8_t (&code)[kSize]);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// AES (FIPS-197) in ECB mode over whole 16-byte blocks: the block cipher
// that counter modes are built on.
class AesEcb {
 public:
  static constexpr size_t kBlockSize = 16;
  AesEcb();
  ~AesEcb();
  AesEcb(const AesEcb&) = delete;
  AesEcb& operator=(const AesEcb&) = delete;

  // key: 16, 24 or 32 bytes; false when the system refuses it.
  bool Start(std::span<const uint8_t> key);
  // Encrypts blocks * 16 bytes from in to out (which may be the same).
  void Encrypt(const uint8_t* in, uint8_t* out, size_t blocks);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// ---- memory ----------------------------------------------------------------

// Available physical memory in bytes.
uint64_t AvailablePhysicalMemory();

// ---- locale and code pages -------------------------------------------------

// Windows: the ANSI code page is the process's (65001 where the programs'
// UTF-8 manifest is honoured, the system's on older Windows); the OEM code
// page is the system locale's, under the manifest too (where GetOEMCP()
// would answer 65001).
uint32_t UserDefaultLCID();
unsigned AnsiCodePage();  // 65001 on Linux
unsigned OemCodePage();

// Locale comparison of two single characters: negative, zero or positive.
int CompareChar(unsigned char a, unsigned char b, bool ignoreCase);
unsigned char UpperChar(unsigned char c);
std::string UpperString(const std::string& s);
// Lower case in the user's locale (ASCII letters only on Linux, where the
// ANSI code page is UTF-8).
std::string LowerString(const std::string& s);

// Conversions between code pages; characters the target lacks become "_"
// when converting to an 8-bit code page. False when a code page is unknown.
bool ConvertCodePage(const std::string& in, unsigned fromCodePage, unsigned toCodePage,
                     std::string& out);
std::string OemToAnsi(const std::string& s);
std::string AnsiToOem(const std::string& s);
std::string Utf8ToAnsi(const std::string& s);
std::string AnsiToUtf8(const std::string& s);

// ---- standard dialogs ------------------------------------------------------
// (Named so as not to collide with the Windows API's DeleteFile and MessageBox macros.)
// On Windows real dialogs; on Linux questions on the terminal when standard
// input is one, otherwise the answer given as `unattended` without waiting.
// A program in which nobody may be asked (a console tool run without a
// console, a setup whose message boxes are suppressed, a test program)
// turns them off with SetUnattendedDialogs: every dialog then gives its
// unattended answer at once (InputQuery returns false), on both systems.

// Whether the dialogs give their unattended answers without asking; off at
// start. Process-wide.
void SetUnattendedDialogs(bool on);
bool UnattendedDialogs();

// Button sets and results, with the values of the Windows API.
constexpr unsigned mbOK = 0x0, mbOKCancel = 0x1, mbAbortRetryIgnore = 0x2,
                   mbYesNoCancel = 0x3, mbYesNo = 0x4, mbRetryCancel = 0x5;
constexpr unsigned mbIconError = 0x10, mbIconQuestion = 0x20, mbIconWarning = 0x30,
                   mbIconInformation = 0x40;
constexpr int idOK = 1, idCancel = 2, idAbort = 3, idRetry = 4, idIgnore = 5, idYes = 6,
              idNo = 7;

int MessageDialog(const std::string& text, const std::string& caption, unsigned flags,
                  int unattended);

// A question with buttons of its own labels: the zero-based index of the
// button chosen, -1 when the dialog was closed without a choice, or
// `unattended` when nobody can be asked. Linux lists the buttons numbered.
int ChoiceDialog(const std::string& text, const std::string& caption,
                 const std::vector<std::string>& buttons, int unattended);

// Asks for one line of text; `hidden` does not echo it. False when cancelled
// (or when nobody can be asked).
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value,
                bool hidden);

// True when standard input is an interactive terminal (a console on Windows).
bool StdinIsTerminal();

// The user's terminal itself, whatever standard input and output carry (an
// archive may come on standard input): /dev/tty on Linux, the console
// (CONIN$, CONOUT$) on Windows. TerminalAvailable: whether it can be
// opened. AskTerminal writes question there and reads one line, without
// echo when hidden; false when there is no terminal or its input ended.
// Texts in the ANSI code page. The tests' input hook (DialogHookForTests)
// answers here too, with the question as its prompt.
bool TerminalAvailable();
bool AskTerminal(const std::string& question, std::string& answer, bool hidden);
// The width in columns of the terminal standard output shows on; 0 when it
// is no terminal or the width is unknown.
int TerminalColumns();

// A name that opens the file standard input reads, when it is a file on
// disk (a redirection, "< a.zip"); empty for a pipe, a terminal or nothing.
std::string StdinFilePath();
// Up to count bytes of standard input as they are (no text-mode changes);
// 0 at its end, -1 on an error.
int64_t ReadStdin(void* buffer, int64_t count);
// True when standard output is an interactive terminal (a console on
// Windows), where a progress line may be redrawn in place.
bool StdoutIsTerminal();

// Tests answer the standard dialogs without a person: while a member of the
// hook is set, the dialog it stands for asks it instead of the system (also
// while the dialogs are unattended). Setting an empty hook removes it.
struct DialogHookForTests {
  std::function<int(const std::string& text, const std::string& caption, unsigned flags)>
      message;
  std::function<int(const std::string& text, const std::string& caption,
                    const std::vector<std::string>& buttons)>
      choice;
  std::function<bool(const std::string& caption, const std::string& prompt,
                     std::string& value, bool hidden)>
      input;
};
void SetDialogHookForTests(DialogHookForTests hook);

}  // namespace zf::os
