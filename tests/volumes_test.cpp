// Tests of multi-volume archives: the size options and volume numbers, the
// volume names, split sets under every naming (and letter case), a
// self-extracting split set, directories and entry data that cross volume
// ends, missing volumes, spanned sets handed over disk by disk, new volume
// sets with their free-space checks and labels, and hostile volume numbers.
//
// The sets are byte-exact: an archive from the test builder is cut into
// volumes, and its disk numbers and offsets are rewritten to count per
// volume, as a writer of split archives does.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFConst.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "test_util.h"
#include "zip_builder.h"

namespace zf {
namespace {

using test::NativeErrorOf;
using test::Put16At;
using test::Put32At;
using test::TempDir;
using test::ZipBuilder;
using test::ZipEntry;
using test::ZipLayout;

// ---- building split sets -------------------------------------------------------

// A cut of the archive's bytes: a new volume starts at `at`; the volume
// before it ends with `pad` zero bytes (a writer that leaves the rest of a
// volume unused when a header does not fit).
struct Cut {
  uint64_t at;
  size_t pad = 0;
};

// The volumes of z cut at the given positions (ascending, all before the
// end record), with disk numbers and offsets counted per volume.
std::vector<std::string> SplitVolumes(ZipLayout z, const std::vector<Cut>& cuts) {
  std::vector<uint8_t>& b = z.bytes;
  const auto locate = [&](uint64_t position) {
    uint16_t volume = 0;
    uint64_t start = 0;
    for (const Cut& c : cuts)
      if (c.at <= position) {
        ++volume;
        start = c.at;
      }
    return std::pair<uint16_t, uint32_t>(volume, static_cast<uint32_t>(position - start));
  };
  for (size_t i = 0; i < z.centralOffsets.size(); ++i) {
    const auto [volume, offset] = locate(z.localOffsets[i]);
    Put16At(b, z.centralOffsets[i] + 34, volume);
    Put32At(b, z.centralOffsets[i] + 42, offset);
  }
  const uint64_t e = z.endRecordOffset;
  const auto [dirVolume, dirOffset] = locate(z.directoryOffset);
  uint16_t onLast = 0;
  for (uint64_t c : z.centralOffsets)
    if (locate(c).first == cuts.size()) ++onLast;
  Put16At(b, e + 4, static_cast<uint16_t>(cuts.size()));
  Put16At(b, e + 6, dirVolume);
  Put16At(b, e + 8, onLast);
  Put32At(b, e + 16, dirOffset);
  std::vector<std::string> volumes;
  uint64_t start = 0;
  for (const Cut& c : cuts) {
    volumes.emplace_back(b.begin() + static_cast<std::ptrdiff_t>(start),
                         b.begin() + static_cast<std::ptrdiff_t>(c.at));
    volumes.back().append(c.pad, '\0');
    start = c.at;
  }
  volumes.emplace_back(b.begin() + static_cast<std::ptrdiff_t>(start), b.end());
  return volumes;
}

void WriteVolumes(const std::vector<std::string>& volumes, const std::vector<std::string>& paths) {
  ASSERT_EQ(volumes.size(), paths.size());
  for (size_t i = 0; i < volumes.size(); ++i) test::WriteFile(paths[i], volumes[i]);
}

ZipEntry Stored(std::string name, std::string data) {
  ZipEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  e.method = kMethodStored;
  return e;
}
ZipEntry Deflated(std::string name, std::string data) {
  ZipEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  return e;
}

// Three entries; the middle one's stored data is long enough to be cut
// twice.
struct Sample {
  std::map<std::string, std::string> files = {
      {"first.txt", std::string(3000, 'a') + "first"},
      {"big.bin", test::NoiseBytes(150000, 7)},
      {"dir/last.txt", "the last one"},
  };
  ZipLayout Build(const std::string& stub = "") const {
    ZipBuilder b;
    b.Add(Deflated("first.txt", files.at("first.txt")))
        .Add(Stored("big.bin", files.at("big.bin")))
        .Add(Deflated("dir/last.txt", files.at("dir/last.txt")));
    if (!stub.empty()) b.Prefix(stub, false);
    return b.Build();
  }
  // Cuts inside big.bin's data twice, and before the directory.
  static std::vector<Cut> Cuts(const ZipLayout& z) {
    const uint64_t data = z.localOffsets[1] + 30 + 7;
    return {{data + 1000}, {data + 80000}, {z.localOffsets[2]}};
  }
};

// Extracts everything and compares with the files.
void ExpectExtracted(TZipArchiver& z, const TempDir& out,
                     const std::map<std::string, std::string>& files) {
  z.SetBaseDir(out.Path());
  z.Extract("*.*", os::faSearchAll, "");
  for (const auto& [name, data] : files) {
    std::string path = out.Path() + name;
    if (test::kSep != '/') std::replace(path.begin(), path.end(), '/', test::kSep);
    ASSERT_TRUE(os::FileExists(path)) << name;
    EXPECT_EQ(test::ReadFile(path), data) << name;
  }
}

// ---- options and volume numbers --------------------------------------------------

TEST(SpanningOptions, CustomVolumeSizeHasAFloor) {
  TZFSpanningOptions o;
  EXPECT_EQ(o.GetCustomVolumeSize(), 0);
  for (int64_t v : {int64_t{1000}, int64_t{0}, int64_t{-5}, int64_t{65535}}) {
    o.SetCustomVolumeSize(v);
    EXPECT_EQ(o.GetCustomVolumeSize(), 65536) << v;
  }
  o.SetCustomVolumeSize(65537);
  EXPECT_EQ(o.GetCustomVolumeSize(), 65537);
}

TEST(SpanningOptions, VolumeLimits) {
  struct Case {
    TZFVolumeSize size;
    int64_t limit;
  };
  const Case cases[] = {
      {vsAutoDetect, -1},           {vsCustom, 70000},           {vs1_44MB, 1457664},
      {vs100MB, 104857600},         {vs200MB, 209715200},        {vs250MB, 262144000},
      {vs600MB, 629145600},         {vs650MB, 681574400},        {vs700MB, 734003200},
      {vs4700MB, 4928307200LL},
  };
  TZFVolumeNumberInfo first, second;
  first.SetFirst(true);
  second.SetNumber(1);
  for (const Case& c : cases) {
    TZFSpanningOptions o;
    o.SetCustomVolumeSize(70000);
    o.SetVolumeSize(c.size);
    EXPECT_EQ(o.VolumeLimit(first), c.limit) << int(c.size);
    EXPECT_EQ(o.VolumeLimit(second), c.limit) << int(c.size);
    o.SetFirstVolumeSize(500000);
    EXPECT_EQ(o.VolumeLimit(first), 500000) << int(c.size);
    EXPECT_EQ(o.VolumeLimit(second), c.limit) << int(c.size);
  }
}

TEST(SpanningOptions, AssignCopiesAllFour) {
  TZFSpanningOptions a, b;
  a.SetAdvancedNaming(false);
  a.SetFirstVolumeSize(123);
  a.SetVolumeSize(vsCustom);
  a.SetCustomVolumeSize(100000);
  b.Assign(a);
  EXPECT_FALSE(b.GetAdvancedNaming());
  EXPECT_EQ(b.GetFirstVolumeSize(), 123);
  EXPECT_EQ(b.GetVolumeSize(), vsCustom);
  EXPECT_EQ(b.GetCustomVolumeSize(), 100000);
}

TEST(VolumeNumberInfo, FirstLastAndSameVolume) {
  TZFVolumeNumberInfo unknown;
  EXPECT_EQ(unknown.Kind, TZFVolumeNumberInfo::VolumeUnknown);
  EXPECT_EQ(unknown.Number, -1);
  EXPECT_EQ(unknown.LastNumber, -1);
  EXPECT_FALSE(unknown.IsFirst());
  EXPECT_FALSE(unknown.IsLast());

  TZFVolumeNumberInfo last;
  last.SetLast(true);  // last number unknown: the kind tells
  EXPECT_TRUE(last.IsLast());
  TZFVolumeNumberInfo two;
  two.LastNumber = 2;
  two.SetNumber(2);
  EXPECT_TRUE(two.IsLast());
  EXPECT_TRUE(last.SameVolume(two));
  TZFVolumeNumberInfo one = two;
  one.SetNumber(1);
  EXPECT_FALSE(one.IsLast());
  EXPECT_FALSE(last.SameVolume(one));
  TZFVolumeNumberInfo zero = one;
  zero.SetFirst(true);
  EXPECT_TRUE(zero.IsFirst());
  EXPECT_FALSE(zero.SameVolume(one));
  EXPECT_TRUE(one.SameVolume(one));
  EXPECT_TRUE(unknown.SameVolume(TZFVolumeNumberInfo()));
  zero.Reset();
  EXPECT_EQ(zero.Kind, TZFVolumeNumberInfo::VolumeUnknown);
  EXPECT_EQ(zero.Number, -1);
}

// ---- volume names ------------------------------------------------------------------

TEST(VolumeNames, EveryRowOfTheNamingTable) {
  TempDir dir;
  const std::string p = dir.Path();
  struct Case {
    TZFSpanningMode mode;
    bool advanced;
    std::string archive;
    bool stub;
    int32_t n;
    std::string name;
  };
  const Case cases[] = {
      {smSplitting, false, "arc.zip", false, 0, "arc.Z01"},
      {smSplitting, false, "arc.zip", false, 1, "arc.Z02"},
      {smSplitting, false, "arc.zip", false, 99, "arc.Z100"},
      {smSplitting, false, "arc.zip", false, -1, "arc.zip"},
      {smSplitting, true, "arc.zip", false, 0, "arc_001.zip"},
      {smSplitting, true, "arc.zip", false, 1, "arc_002.zip"},
      {smSplitting, true, "arc.zip", false, -1, "arc.zip"},
      {smSplitting, false, "arc.exe", false, 0, "arc.exe"},
      {smSplitting, false, "arc.exe", false, 1, "arc.Z02"},
      {smSplitting, false, "arc.exe", false, -1, "arc.ZIP"},
      {smSplitting, true, "arc.exe", false, 0, "arc.exe"},
      {smSplitting, false, "arc.zip", true, 0, "arc.exe"},
      {smSplitting, false, "arc.zip", true, -1, "arc.ZIP"},
      {smSpanning, true, "arc.zip", false, 0, "arc_001.zip"},
      {smSpanning, true, "arc.zip", false, 2, "arc_003.zip"},
      {smSpanning, false, "arc.zip", false, 2, "arc.zip"},
      {smSpanning, true, "arc.zip", false, -1, "arc.zip"},
      {smSpanning, true, "arc.zip", true, 0, "arc_001.exe"},
      {smSpanning, false, "arc.zip", true, 1, "arc.exe"},
      {smNone, true, "arc.zip", false, 3, "arc.zip"},
      {smNone, false, "arc.exe", true, 0, "arc.exe"},
  };
  for (const Case& c : cases) {
    TZipArchiver z;
    z.SetSpanningMode(c.mode);
    z.SpanningOptions().SetAdvancedNaming(c.advanced);
    if (c.stub) z.SetSFXStub(p + "stub.exe");
    EXPECT_EQ(z.BuildVolumeName(p + c.archive, c.n, false), p + c.name)
        << c.archive << " " << c.n << " mode " << int(c.mode) << " advanced " << c.advanced;
  }
}

TEST(VolumeNames, SpannedSetsTryTheOtherNaming) {
  TempDir dir;
  TZipArchiver z;
  z.SetSpanningMode(smSpanning);
  EXPECT_EQ(z.BuildVolumeName(dir / "arc.zip", 1, true), dir / "arc_002.zip");  // neither exists
  test::WriteFile(dir / "arc.zip", "x");
  EXPECT_EQ(z.BuildVolumeName(dir / "arc.zip", 1, true), dir / "arc.zip");
  EXPECT_EQ(z.BuildVolumeName(dir / "arc.zip", 1, false), dir / "arc_002.zip");
  test::WriteFile(dir / "arc_002.zip", "x");
  EXPECT_EQ(z.BuildVolumeName(dir / "arc.zip", 1, true), dir / "arc_002.zip");
}

TEST(VolumeNames, ANameDifferingInLetterCaseStandsIn) {
  TempDir dir;
  test::WriteFile(dir / "arc.z01", "x");
  TZipArchiver z;
  z.SetSpanningMode(smSplitting);
  z.SpanningOptions().SetAdvancedNaming(false);
  // Windows finds the file under either name by itself.
  const std::string expected = test::kSep == '/' ? dir / "arc.z01" : dir / "arc.Z01";
  EXPECT_EQ(z.BuildVolumeName(dir / "arc.zip", 0, false), expected);
  EXPECT_TRUE(os::FileExists(z.BuildVolumeName(dir / "arc.zip", 0, false)));
  EXPECT_EQ(z.BuildVolumeName(dir / "arc.zip", 1, false), dir / "arc.Z02");  // none there
}

// ---- reading split sets ---------------------------------------------------------------

struct NamingCase {
  const char* label;
  std::vector<std::string> names;  // volume files, the last one's is the archive's
  bool advancedAfterOpen;
};

class SplitSets : public ::testing::TestWithParam<NamingCase> {};

TEST_P(SplitSets, OpenByTheLastVolumeAndExtractEverything) {
  const NamingCase& c = GetParam();
  TempDir dir, out;
  const Sample sample;
  const ZipLayout z = sample.Build();
  std::vector<std::string> paths;
  for (const std::string& n : c.names) paths.push_back(dir / n);
  WriteVolumes(SplitVolumes(z, Sample::Cuts(z)), paths);

  TZipArchiver zip;
  zip.SetFileName(paths.back());
  zip.Open();
  EXPECT_EQ(zip.GetSpanningMode(), smSplitting);
  EXPECT_EQ(zip.SpanningOptions().GetAdvancedNaming(), c.advancedAfterOpen);
  ASSERT_EQ(zip.DirManager()->Dir().Count(), 3);
  ExpectExtracted(zip, out, sample.files);
}

INSTANTIATE_TEST_SUITE_P(
    Namings, SplitSets,
    ::testing::Values(
        NamingCase{"lowercase", {"arc.z01", "arc.z02", "arc.z03", "arc.zip"}, false},
        NamingCase{"uppercase", {"arc.Z01", "arc.Z02", "arc.Z03", "arc.zip"}, false},
        NamingCase{"advanced", {"arc_001.zip", "arc_002.zip", "arc_003.zip", "arc.zip"}, true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SplitSet, SelfExtractingSetOpensByItsStub) {
  TempDir dir, out;
  const Sample sample;
  const std::string stub(5000, 'M');
  const ZipLayout z = sample.Build(stub);
  const uint64_t data = z.localOffsets[1] + 30 + 7;
  WriteVolumes(SplitVolumes(z, {{data + 1000}, {z.localOffsets[2]}}),
               {dir / "arc.exe", dir / "arc.Z02", dir / "arc.ZIP"});
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.exe");
  zip.Open();
  EXPECT_EQ(zip.GetSpanningMode(), smSplitting);
  EXPECT_FALSE(zip.SpanningOptions().GetAdvancedNaming());
  ExpectExtracted(zip, out, sample.files);
}

TEST(SplitSet, SingleFileSelfExtractorStaysSingle) {
  TempDir dir, out;
  const Sample sample;
  test::WriteFile(dir / "setup.exe", sample.Build(std::string(3000, 'M')).str());
  TZipArchiver zip;
  zip.SetFileName(dir / "setup.exe");
  zip.Open();
  EXPECT_EQ(zip.GetSpanningMode(), smNone);
  ExpectExtracted(zip, out, sample.files);
}

// Many entries, so that the directory can be cut between and inside
// central headers.
struct ManyEntries {
  std::map<std::string, std::string> files;
  ZipLayout Build() {
    ZipBuilder b;
    for (int i = 0; i < 12; ++i) {
      const std::string name = "entry_" + std::to_string(i) + ".txt";
      files[name] = std::string(100 + i, static_cast<char>('a' + i));
      b.Add(Deflated(name, files[name]));
    }
    return b.Build();
  }
};

TEST(SplitSet, DirectoryContinuesOnTheNextVolume) {
  struct Case {
    const char* label;
    int header;      // the cut is at this central header
    uint64_t inside;  // bytes into it (0: before it)
    size_t pad;       // unused bytes left at the end of the volume before
  };
  const Case cases[] = {
      {"between headers", 5, 0, 0},
      {"header that does not fit in the rest", 5, 0, 45},
      {"inside a header's name", 7, 50, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir, out;
    ManyEntries many;
    const ZipLayout z = many.Build();
    const uint64_t at = z.centralOffsets[static_cast<size_t>(c.header)] + c.inside;
    WriteVolumes(SplitVolumes(z, {{z.localOffsets[11]}, {at, c.pad}}),
                 {dir / "arc.z01", dir / "arc.z02", dir / "arc.zip"});
    TZipArchiver zip;
    zip.SetFileName(dir / "arc.zip");
    zip.Open();
    EXPECT_EQ(zip.GetSpanningMode(), smSplitting);
    ASSERT_EQ(zip.DirManager()->Dir().Count(), 12);
    ExpectExtracted(zip, out, many.files);
  }
}

TEST(SplitSet, EntryDataCrossesTwoVolumeEnds) {
  TempDir dir, out;
  const std::string big = test::NoiseBytes(200000, 3);
  ZipBuilder b;
  b.Add(Deflated("big.bin", big));
  const ZipLayout z = b.Build();
  const uint64_t data = z.localOffsets[0] + 30 + 7;
  WriteVolumes(SplitVolumes(z, {{data + 70000}, {data + 140000}}),
               {dir / "arc_001.zip", dir / "arc_002.zip", dir / "arc.zip"});
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  zip.Open();
  ExpectExtracted(zip, out, {{"big.bin", big}});
}

// ---- missing volumes -------------------------------------------------------------------

struct Requests {
  std::vector<std::string> log;
  void Attach(TZipArchiver& zip, bool cancel) {
    zip.OnRequestFirstVolume = [this, cancel](TZFBaseArchiver*, std::string& name, bool& c) {
      log.push_back("first " + name);
      c = cancel && !os::FileExists(name);
    };
    zip.OnRequestLastVolume = [this, cancel](TZFBaseArchiver*, std::string& name, bool& c) {
      log.push_back("last " + name);
      c = cancel && !os::FileExists(name);
    };
    zip.OnRequestMiddleVolume = [this, cancel](TZFBaseArchiver*, int32_t n, std::string& name,
                                               bool& c) {
      log.push_back("middle " + std::to_string(n) + " " + name);
      c = cancel && !os::FileExists(name);
    };
  }
};

// The sample as arc.Z01, arc.Z02, arc.Z03 and arc.zip in dir, with arc.Z02
// (the middle of big.bin's data) removed.
void WriteSampleWithoutZ02(const TempDir& dir) {
  const Sample sample;
  const ZipLayout z = sample.Build();
  WriteVolumes(SplitVolumes(z, Sample::Cuts(z)),
               {dir / "arc.Z01", dir / "arc.Z02", dir / "arc.Z03", dir / "arc.zip"});
  os::RemoveFile(dir / "arc.Z02");
}

// Entry failures answered with "ignore": each native code goes into failures
// and the extraction goes on with the next entry.
void RecordFailures(TZipArchiver& zip, std::vector<int32_t>& failures) {
  zip.OnProcessFileFailure = [&failures](TZFBaseArchiver*, const std::string&, TZFProcessOperation,
                                         int32_t native, int32_t, const std::string&,
                                         TZFAction& action) {
    failures.push_back(native);
    action = fxaIgnore;
  };
}

TEST(MissingVolume, RequestsCarryOneBasedNumbersAndCancelGives45) {
  TempDir dir, out;
  WriteSampleWithoutZ02(dir);

  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  Requests requests;
  requests.Attach(zip, true);
  zip.Open();  // the directory lies on the last volume
  std::vector<int32_t> failures;
  RecordFailures(zip, failures);
  zip.SetBaseDir(out.Path());
  zip.Extract("*.*", os::faSearchAll, "");
  ASSERT_EQ(failures, std::vector<int32_t>{neVolumeRequestCancelled});  // big.bin
  EXPECT_TRUE(os::FileExists(out / "first.txt"));
  EXPECT_FALSE(os::FileExists(out / "big.bin"));
  const std::vector<std::string> expected = {
      "first " + dir / "arc.Z01",
      "middle 2 " + dir / "arc.Z02",  // big.bin reads on into volume 2
      "last " + dir / "arc.zip",      // dir/last.txt
  };
  EXPECT_EQ(requests.log, expected);
}

TEST(MissingVolume, HandlersThatNameNoVolumeEndTheRequestWith45) {
  struct Case {
    const char* name;
    std::string answer;  // for the middle volume; what a handler answers forever
  };
  const Case cases[] = {
      // An empty name names no volume: the one before is not read in its place.
      {"empty name", ""},
      {"the same missing file", "arc.Z02"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir, out;
    WriteSampleWithoutZ02(dir);
    TZipArchiver zip;
    zip.SetFileName(dir / "arc.zip");
    Requests requests;
    requests.Attach(zip, false);
    int middle = 0;
    zip.OnRequestMiddleVolume = [&](TZFBaseArchiver*, int32_t, std::string& name, bool&) {
      ++middle;
      name = c.answer.empty() ? "" : dir / c.answer;
    };
    zip.Open();
    std::vector<int32_t> failures;
    RecordFailures(zip, failures);
    zip.SetBaseDir(out.Path());
    zip.Extract("*.*", os::faSearchAll, "");
    EXPECT_EQ(failures, std::vector<int32_t>{neVolumeRequestCancelled});  // big.bin
    EXPECT_LE(middle, 16);
    EXPECT_FALSE(os::FileExists(out / "big.bin"));
    EXPECT_TRUE(os::FileExists(out / "dir" + std::string(1, test::kSep) + "last.txt"));
  }
}

TEST(MissingVolume, DefaultRequestCancelsAndTheDefaultFailureActionAborts) {
  TempDir dir, out;
  WriteSampleWithoutZ02(dir);
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  zip.Open();
  zip.SetBaseDir(out.Path());
  zip.Extract("*.*", os::faSearchAll, "");
  EXPECT_TRUE(os::FileExists(out / "first.txt"));
  EXPECT_FALSE(os::FileExists(out / "big.bin"));
  // Aborted at big.bin: the entry after it is not tried.
  EXPECT_FALSE(os::FileExists(out / "dir" + std::string(1, test::kSep) + "last.txt"));
}

TEST(MissingVolume, DirectoryOnAMissingVolumeFailsTheOpenWith45) {
  TempDir dir;
  ManyEntries many;
  const ZipLayout z = many.Build();
  WriteVolumes(SplitVolumes(z, {{z.centralOffsets[2]}, {z.centralOffsets[8]}}),
               {dir / "arc.z01", dir / "arc.z02", dir / "arc.zip"});
  os::RemoveFile(dir / "arc.z01");  // the directory's first volume
  // The probe needs the volume before the last to recognise the set.
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  Requests requests;
  requests.Attach(zip, true);
  EXPECT_EQ(NativeErrorOf([&] { zip.Open(); }), neVolumeRequestCancelled);
  EXPECT_FALSE(zip.Active());
  ASSERT_FALSE(requests.log.empty());
  EXPECT_EQ(requests.log.front(), "first " + dir / "arc.Z01");
}

// ---- spanned sets --------------------------------------------------------------------

TEST(SpannedSet, DisksHandedOverFromSeparateFolders) {
  TempDir root, out;
  const Sample sample;
  const ZipLayout z = sample.Build();
  const std::vector<std::string> volumes = SplitVolumes(z, Sample::Cuts(z));
  std::vector<std::string> disks;
  for (size_t i = 0; i < volumes.size(); ++i) {
    const std::string disk = root / ("disk" + std::to_string(i + 1));
    ASSERT_TRUE(os::CreateDir(disk));
    disks.push_back(disk + test::kSep + "arc.zip");  // every disk carries the archive's name
    test::WriteFile(disks.back(), volumes[i]);
  }
  TZipArchiver zip;
  zip.SetFileName(disks.back());
  std::vector<std::string> asked;
  zip.OnRequestFirstVolume = [&](TZFBaseArchiver*, std::string& name, bool&) {
    asked.push_back("first");
    name = disks[0];
  };
  zip.OnRequestMiddleVolume = [&](TZFBaseArchiver*, int32_t n, std::string& name, bool&) {
    asked.push_back("disk " + std::to_string(n));
    name = disks[static_cast<size_t>(n - 1)];
  };
  zip.OnRequestLastVolume = [&](TZFBaseArchiver*, std::string& name, bool&) {
    asked.push_back("last");
    name = disks.back();
  };
  zip.Open();
  EXPECT_EQ(zip.GetSpanningMode(), smSpanning);
  ExpectExtracted(zip, out, sample.files);
  EXPECT_EQ(asked, (std::vector<std::string>{"first", "disk 2", "disk 3", "last"}));
}

// The default dialogs, answered through the platform's hook.
struct DialogLog {
  std::vector<std::string> texts;
  int answer = os::idCancel;
  DialogLog() {
    os::DialogHookForTests hook;
    hook.message = [this](const std::string& text, const std::string&, unsigned) {
      texts.push_back(text);
      return answer;
    };
    os::SetDialogHookForTests(hook);
  }
  ~DialogLog() { os::SetDialogHookForTests({}); }
};

TEST(SpannedSet, DefaultDialogAsksForTheDiskAndCancelGives45) {
  TempDir root;
  const Sample sample;
  const ZipLayout z = sample.Build();
  const std::vector<std::string> volumes = SplitVolumes(z, Sample::Cuts(z));
  test::WriteFile(root / "arc.zip", volumes.back());
  DialogLog dialogs;
  TZipArchiver zip;
  zip.SetFileName(root / "arc.zip");
  zip.Open();  // the directory lies on the last disk
  EXPECT_EQ(zip.GetSpanningMode(), smSpanning);
  zip.SetBaseDir(root / "out");
  zip.Extract("first.txt", os::faSearchAll, "");
  EXPECT_EQ(dialogs.texts, std::vector<std::string>{"Please insert the first disk"});
}

// ---- new volume sets -------------------------------------------------------------------

// Free space and labels as the tests say.
struct DriveHooks {
  std::vector<std::string> labels;
  explicit DriveHooks(int64_t freeBytes) {
    os::SetDiskFreeHookForTests([freeBytes](const std::string&) { return freeBytes; });
    os::SetDriveLabelHookForTests([this](const std::string&, const std::string& label) {
      labels.push_back(label);
      return true;
    });
  }
  ~DriveHooks() {
    os::SetDiskFreeHookForTests({});
    os::SetDriveLabelHookForTests({});
  }
};

TEST(NewVolumeSet, EmptySplitArchiveIsRenamedAndReopensAsSingle) {
  TempDir dir;
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  zip.SetSpanningMode(smSplitting);
  zip.SpanningOptions().SetAdvancedNaming(false);
  std::vector<int32_t> blanks;
  zip.OnRequestBlankVolume = [&](TZFBaseArchiver*, int32_t n, std::string& name, bool&) {
    blanks.push_back(n);
    EXPECT_EQ(name, dir / "arc.Z01");
  };
  zip.Open();
  EXPECT_EQ(blanks, std::vector<int32_t>{1});
  EXPECT_EQ(zip.CurrentVolumeFileName(), dir / "arc.Z01");
  EXPECT_TRUE(os::FileExists(dir / "arc.Z01"));
  zip.Close();
  EXPECT_FALSE(os::FileExists(dir / "arc.Z01"));
  const std::string bytes = test::ReadFile(dir / "arc.zip");
  ASSERT_EQ(bytes.size(), 22u);
  EXPECT_EQ(bytes.substr(0, 4), "PK\x05\x06");
  EXPECT_EQ(bytes[4], 0);  // this disk
  EXPECT_EQ(bytes[6], 0);  // the directory's disk

  zip.Open();
  EXPECT_EQ(zip.GetSpanningMode(), smNone);
  EXPECT_EQ(zip.DirManager()->Dir().Count(), 0);
}

TEST(NewVolumeSet, BlankVolumeNeedsMoreThan64KiBAndItsLimit) {
  struct Case {
    int64_t free;
    TZFVolumeSize size;
    int64_t firstVolumeSize;
    bool accepted;
  };
  const Case cases[] = {
      {65536, vsAutoDetect, 0, false},       {65537, vsAutoDetect, 0, true},
      {1457663, vs1_44MB, 0, false},         {1457664, vs1_44MB, 0, true},
      {499999, vs1_44MB, 500000, false},     {500000, vs1_44MB, 500000, true},
      {70000, vsCustom, 0, true},  // custom 1000 reads 65,536
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.free));
    TempDir dir;
    DriveHooks hooks(c.free);
    TZipArchiver zip;
    zip.SetFileName(dir / "arc.zip");
    zip.SetSpanningMode(smSplitting);
    zip.SpanningOptions().SetVolumeSize(c.size);
    zip.SpanningOptions().SetCustomVolumeSize(1000);
    zip.SpanningOptions().SetFirstVolumeSize(c.firstVolumeSize);
    std::vector<std::string> full;
    zip.OnDiskFull = [&](TZFBaseArchiver*, int32_t n, const std::string& name, bool& cancel) {
      full.push_back(std::to_string(n) + " " + name);
      cancel = true;
    };
    const int32_t error = NativeErrorOf([&] { zip.Open(); });
    if (c.accepted) {
      EXPECT_EQ(error, -1);
      EXPECT_TRUE(full.empty());
      EXPECT_TRUE(os::FileExists(dir / "arc_001.zip"));
    } else {
      EXPECT_EQ(error, neVolumeRequestCancelled);
      EXPECT_EQ(full, std::vector<std::string>{"1 " + dir / "arc_001.zip"});
      EXPECT_FALSE(os::FileExists(dir / "arc_001.zip"));
    }
    zip.Close();
  }
}

TEST(NewVolumeSet, DefaultDiskFullAnswerForSplitSetsIsCancel) {
  TempDir dir;
  DriveHooks hooks(65536);
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  zip.SetSpanningMode(smSplitting);
  EXPECT_EQ(NativeErrorOf([&] { zip.Open(); }), neVolumeRequestCancelled);
}

TEST(NewVolumeSet, SpannedDiskIsAskedForAndLabelled) {
  TempDir dir;
  DriveHooks hooks(1 << 20);
  DialogLog dialogs;
  dialogs.answer = os::idOK;
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  zip.SetSpanningMode(smSpanning);
  zip.SpanningOptions().SetAdvancedNaming(false);
  zip.Open();
  EXPECT_EQ(dialogs.texts, std::vector<std::string>{"Please insert a blank disk #1"});
  EXPECT_EQ(hooks.labels, std::vector<std::string>{"pkback# 001"});
  EXPECT_EQ(zip.CurrentVolumeFileName(), dir / "arc.zip");
  zip.Close();
  EXPECT_EQ(test::ReadFile(dir / "arc.zip").size(), 22u);
}

TEST(NewVolumeSet, SpannedDiskFullDialogTellsTheNumbers) {
  TempDir dir;
  DriveHooks hooks(70000);
  DialogLog dialogs;
  dialogs.answer = os::idOK;
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  zip.SetSpanningMode(smSpanning);
  zip.SpanningOptions().SetVolumeSize(vs1_44MB);
  zip.OnRequestBlankVolume = [](TZFBaseArchiver*, int32_t, std::string&, bool&) {};
  int fullCount = 0;
  // The first answer goes to the disk-full dialog; cancel the second time.
  os::DialogHookForTests hook;
  hook.message = [&](const std::string& text, const std::string&, unsigned) {
    dialogs.texts.push_back(text);
    return ++fullCount < 2 ? os::idOK : os::idCancel;
  };
  os::SetDialogHookForTests(hook);
  EXPECT_EQ(NativeErrorOf([&] { zip.Open(); }), neVolumeRequestCancelled);
  const std::string text =
      "Disk is full. Required free space: 1457664 bytes, but available only: 70000 bytes. Clean "
      "the disk or find another blank disk";
  EXPECT_EQ(dialogs.texts, (std::vector<std::string>{text, text}));
}

TEST(NewVolumeSet, StubLargerThanTheFirstVolumeFailsWith47) {
  TempDir dir;
  test::WriteFile(dir / "stub.exe", std::string(70000, 's'));
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  zip.SetSFXStub(dir / "stub.exe");
  zip.SetSpanningMode(smSplitting);
  zip.SpanningOptions().SetFirstVolumeSize(65536);
  EXPECT_EQ(NativeErrorOf([&] { zip.Open(); }), neStubTooLarge);
}

// ---- hostile volume numbers ------------------------------------------------------------

TEST(HostileVolumes, AHugeLastDiskNumberAsksOnceAndFails) {
  TempDir dir;
  ZipLayout z = Sample().Build();
  Put16At(z.bytes, z.endRecordOffset + 4, 65534);  // this disk
  Put16At(z.bytes, z.endRecordOffset + 6, 0);      // the directory's disk
  test::WriteFile(dir / "arc.zip", z.str());
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  Requests requests;
  requests.Attach(zip, true);
  EXPECT_EQ(NativeErrorOf([&] { zip.Open(); }), neVolumeRequestCancelled);
  EXPECT_EQ(requests.log.size(), 1u);
}

TEST(HostileVolumes, DirectoryClaimingMoreVolumesThanTheSetHasIsDamaged) {
  TempDir dir;
  ManyEntries many;
  ZipLayout z = many.Build();
  std::vector<std::string> volumes = SplitVolumes(z, {{z.centralOffsets[3]}});
  // The last volume loses its central headers: the directory would have to
  // go on past the last volume.
  const std::string& last = volumes.back();
  volumes.back() = last.substr(last.size() - 22);
  WriteVolumes(volumes, {dir / "arc.z01", dir / "arc.zip"});
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  EXPECT_EQ(NativeErrorOf([&] { zip.Open(); }), neOpenAborted);
}

TEST(HostileVolumes, EntryOnAVolumeOutsideTheSetAsksForNothing) {
  TempDir dir, out;
  const Sample sample;
  ZipLayout z = sample.Build();
  // first.txt claims to start on disk 40 of a set of four.
  Put16At(z.bytes, z.centralOffsets[0] + 34, 40);
  const std::vector<Cut> cuts = Sample::Cuts(z);
  std::vector<std::string> volumes = SplitVolumes(z, cuts);
  WriteVolumes(volumes, {dir / "arc.z01", dir / "arc.z02", dir / "arc.z03", dir / "arc.zip"});
  // SplitVolumes rewrote the disk number; put the hostile one back.
  {
    std::string last = test::ReadFile(dir / "arc.zip");
    const size_t central = last.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    last[central + 34] = 40;
    test::WriteFile(dir / "arc.zip", last);
  }
  TZipArchiver zip;
  zip.SetFileName(dir / "arc.zip");
  Requests requests;
  requests.Attach(zip, true);
  zip.Open();
  std::vector<int32_t> failures;
  RecordFailures(zip, failures);
  zip.SetBaseDir(out.Path());
  zip.Extract("first.txt", os::faSearchAll, "");
  EXPECT_EQ(failures, std::vector<int32_t>{neOpenAborted});
  EXPECT_TRUE(requests.log.empty() || requests.log.back().rfind("middle 41", 0) != 0);
}

}  // namespace
}  // namespace zf
