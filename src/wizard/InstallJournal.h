// The install journal: everything an install made, in the order it made
// it, so that a failed or cancelled install can be undone and the product
// removed later.
//
// One install run records every folder it creates, every file it writes
// (with a backup copy of a file it replaces, kept in a private folder
// until the run ends), every shortcut, the Start-menu group folder and the
// registry key of the Add/Remove Programs entry. Undoing the run (rollback)
// walks these records backwards.
//
// The product's journal, saved as uninstall.dat beside uninstall.exe, is
// the journal of the previous install (read back when the product is
// installed again into the same folder) followed by what this run made
// that the previous one had not, so a reinstall never lists a thing twice.
// Files carry their size and CRC-32 as installed, so the uninstaller can
// tell a file the user has changed since.
//
// uninstall.dat is UTF-8 text, one record a line, fields separated by tabs
// (no Windows path holds a tab or a line break); paths are absolute. The
// desktop shortcut may lie anywhere, but it must be a shortcut (".lnk"),
// the only kind of file the journal may name outside the product's places.
// Lines "setting NAME VALUE" tell more about the product: the language the
// uninstaller speaks, the product's id (missing: the base name, as in
// every journal written before ids) and version (missing: none); a setting
// this version does not know is skipped. In
// memory paths are in the ANSI code page, like the engine's. Reading it
// back trusts nothing: a record naming a place outside the product's
// folder, group or uninstall key is refused with the whole file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace setup {

enum class JournalKind {
  Folder,    // a folder the install created
  File,      // a file it wrote (new, or over an older one)
  Link,      // a shortcut file in the group
  Desktop,   // the shortcut on the desktop the package asked for
  Group,     // the Start-menu group folder it created
  Registry,  // the Add/Remove Programs key it created or updated
  // A file of an earlier version that an upgrade removed, its copy in
  // `backup`: never saved, a rollback puts it back, and the product's
  // journal forgets the file.
  Removed,
};

struct TJournalRecord {
  JournalKind kind = JournalKind::File;
  std::string path;  // files and folders; the registry: the key below its root
  std::string root;  // the registry: "HKLM" or "HKCU"
  // Files and links: the copy of the file this run replaced ("" when the
  // run created the file). Never saved.
  std::string backup;
  // Files: what was installed (-1: not known, the file counts as changed).
  int64_t size = -1;
  uint32_t crc = 0;
};

// What the product's journal says about the product itself.
struct TProductInfo {
  std::string baseName;  // the package's base name, the group's name
  std::string displayName;
  std::string location;  // the install folder, with its trailing separator
  std::string language;  // the wizard's language code ("ru", "en"); "" for none
  std::string id;        // the key's last part (the base name unless the package names one)
  std::string version;   // "" when the package had none
};

class TInstallJournal {
 public:
  // ---- this run ----
  void AddFolder(const std::string& path);
  // A file this run writes; `backup` as in TJournalRecord.
  void AddFile(const std::string& path, const std::string& backup);
  void AddLink(const std::string& path, const std::string& backup,
               JournalKind kind = JournalKind::Link);
  void AddGroup(const std::string& path);
  // The uninstall key; `created`: it did not exist before this run (only
  // then does a rollback delete it).
  void AddRegistry(const std::string& root, const std::string& key, bool created);
  // A file of the product that this run removed, after copying it to
  // `backup`.
  void AddRemoved(const std::string& path, const std::string& backup);
  // The installed size and CRC-32 of a file recorded by this run.
  void SetFingerprint(const std::string& path, int64_t size, uint32_t crc);
  // This run's records, in the order they were made.
  const std::vector<TJournalRecord>& Run() const { return run_; }
  // Whether this run wrote (or removed) the file or shortcut `path`.
  bool TouchedThisRun(const std::string& path) const;
  // The ones a rollback undoes: all but a registry key that was there
  // before.
  std::vector<TJournalRecord> RunToUndo() const;

  // ---- the product ----
  // The previous install's records (uninstall.dat of the same product).
  void SetPrevious(std::vector<TJournalRecord> records) { previous_ = std::move(records); }
  const std::vector<TJournalRecord>& Previous() const { return previous_; }
  // Previous records first, then this run's that are new; a file written
  // again takes this run's fingerprint, a file removed goes.
  std::vector<TJournalRecord> Product() const;

 private:
  std::vector<TJournalRecord> run_;
  std::vector<TJournalRecord> previous_;
  std::vector<std::string> keptKeys_;  // registry keys that existed before
};

// uninstall.dat's text for the product's records.
std::string SerializeJournal(const TProductInfo& product,
                             const std::vector<TJournalRecord>& records);
// The records and the product back from uninstall.dat's text; nothing when
// the text is no journal or a record reaches outside the product (see the
// header comment).
std::optional<std::vector<TJournalRecord>> ParseJournal(const std::string& text,
                                                        TProductInfo& product);

// Two paths name the same thing (Windows compares names ignoring case).
bool SamePath(const std::string& a, const std::string& b);

// The registry key of a product's Add/Remove Programs entry, below HKLM or
// HKCU: named by the product's id.
std::string UninstallKeyFor(const std::string& id);

}  // namespace setup
