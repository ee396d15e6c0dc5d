// The per-picture and per-folder settings files: their names, which one
// applies, what is read from them and what is written, on real files in a
// temp folder (natively the project's own INI code, in the Windows
// build the system's profile functions).
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/local_settings.h"
#include "settings/ini_values.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

TEST(SettingsFileNames, FollowTheNameRulesAsWritten) {
  const struct {
    const char* path;
    const char* picture_file;
    const char* folder_file;
  } cases[] = {
      {"D:\\Pictures\\Trip\\img01.jpg", "D:\\Pictures\\Trip\\img01.zprop", "D:\\Pictures\\Trip\\zprop.ini"},
      {"D:\\Pictures\\scan", "D:\\Pictures\\scan.zprop", "D:\\Pictures\\zprop.ini"},
      {"D:\\Pictures\\Trip\\", "D:\\Pictures\\Trip\\.zprop", "D:\\Pictures\\Trip\\zprop.ini"},
      {"D:\\Pictures\\Trip", "D:\\Pictures\\Trip.zprop", "D:\\Pictures\\zprop.ini"},
      {"D:\\my.pics\\scan", "D:\\my.zprop", "D:\\my.pics\\zprop.ini"},
      {"D:\\Pictures\\scan.", "D:\\Pictures\\scan.zprop", "D:\\Pictures\\zprop.ini"},
      {"D:\\a.b.jpg", "D:\\a.b.zprop", "D:\\zprop.ini"},
      {"img.jpg", "img.zprop", "zprop.ini"},
      {"D:img.jpg", "D:img.zprop", "D:zprop.ini"},
      {"1:img.jpg", "1:img.zprop", "zprop.ini"},
      {"/home/ann/p.png", "/home/ann/p.zprop", "/home/ann/zprop.ini"},
      {"D:\\a/b\\c.jpg", "D:\\a/b\\c.zprop", "D:\\a/b\\zprop.ini"},
      {"\\\\server\\share\\x.jpg", "\\\\server\\share\\x.zprop", "\\\\server\\share\\zprop.ini"},
      {"D:\\Bilder\\\xDC"
       "ber.jpg",
       "D:\\Bilder\\\xDC"
       "ber.zprop",
       "D:\\Bilder\\zprop.ini"},
      {"", ".zprop", "zprop.ini"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PictureSettingsFile(c.path), c.picture_file) << c.path;
    EXPECT_EQ(FolderSettingsFile(c.path), c.folder_file) << c.path;
  }
  const std::string long_folder = "D:\\" + std::string(5000, 'f') + "\\";
  EXPECT_EQ(PictureSettingsFile(long_folder + "x.jpg"), long_folder + "x.zprop");
  EXPECT_EQ(FolderSettingsFile(long_folder + "x.jpg"), long_folder + "zprop.ini");
}

// A temp folder of this test, removed with its files.
class Folder {
 public:
  Folder() {
    std::random_device entropy;
    path_ = fs::temp_directory_path() / ("chromaline-local-" + std::to_string(entropy()));
    fs::create_directories(path_);
  }
  ~Folder() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (const auto& entry : fs::recursive_directory_iterator(path_, ec)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
  }
  // The folder with a final separator.
  std::string Path() const { return (path_ / "").string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;
};

void Put(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Global settings unlike every default, with reals that two decimals
// cannot hold.
FilterSettings Global() {
  FilterSettings s;
  s.ToneFilter = 1;
  s.FilterParam = 3;
  s.GammaAdj = 1;
  s.GammaVal = 0.333;
  s.Defog = 1;
  s.DefogVal = 42;
  s.AutoLevels = 1;
  s.USMEnable = 0;
  s.USMRadius = 1.0 / 3.0;
  s.USMAmount = 77;
  s.USMThreshold = 9;
  return s;
}

const char kDefaultFile[] =
    "[ChromalinePlugIn]\r\nToneFilter=0\r\nFilterParam=0\r\nGammaAdj=0\r\nGammaVal=0.00\r\nDefog=0\r\n"
    "DefogVal=10\r\nAutoLevels=0\r\nUSMRadius=0.50\r\nUSMAmount=100\r\nUSMThreshold=4\r\nUSMEnable=0\r\n";

TEST(LocalSettingsFiles, DefaultSettingsWriteTheTwelveLines) {
  Folder folder;
  WriteLocalSettings(folder.File("a.jpg").c_str(), FilterSettings());
  EXPECT_EQ(Get(folder.File("a.zprop")), kDefaultFile);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.zprop"}) << "no temp file is left behind";
}

TEST(LocalSettingsFiles, WrittenValuesReadBackRoundedToTwoDecimals) {
  Folder folder;
  FilterSettings s = Global();
  s.GammaVal = 0.666;
  s.USMAmount = 250;
  s.USMRadius = -0.0;
  s.FilterParam = INT32_MIN;
  WriteLocalSettings(folder.File("a.jpg").c_str(), s);
  const std::string text = Get(folder.File("a.zprop"));
  EXPECT_NE(text.find("\r\nGammaVal=0.67\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nUSMAmount=250\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nFilterParam=-2147483648\r\n"), std::string::npos) << text;
  const FilterSettings read = ReadLocalSettings(folder.File("a.jpg").c_str(), FilterSettings());
  FilterSettings expected = s;
  expected.GammaVal = 0.67;
  EXPECT_EQ(read, expected);
  // Writing again replaces the values in place.
  s.USMAmount = 5;
  WriteLocalSettings(folder.File("a.jpg").c_str(), s);
  EXPECT_EQ(Get(folder.File("a.zprop")).size(), text.size() - 2);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.zprop"});
}

TEST(LocalSettingsFiles, TheTargetFollowsTheFolderTest) {
  Folder folder;
  fs::create_directory(folder.File("Trip"));
  const FilterSettings s = Global();
  WriteLocalSettings((folder.File("Trip") + (folder.Path().back())).c_str(), s);
  EXPECT_TRUE(fs::exists(folder.File("Trip") + folder.Path().back() + "zprop.ini")) << "with a final separator";
  WriteLocalSettings(folder.File("Trip").c_str(), s);
  EXPECT_TRUE(fs::exists(folder.File("zprop.ini"))) << "without one: the parent's folder file";
  fs::remove(folder.File("zprop.ini"));
  Put(folder.File("zprop.ini"), "[ChromalinePlugIn]\r\nDefog=1\r\n");
  WriteLocalSettings(folder.File("b.jpg").c_str(), s);
  EXPECT_TRUE(fs::exists(folder.File("b.zprop"))) << "a picture writes its own file";
  EXPECT_EQ(Get(folder.File("zprop.ini")), "[ChromalinePlugIn]\r\nDefog=1\r\n");
}

TEST(LocalSettingsFiles, WhichFileApplies) {
  const FilterSettings global = Global();
  FilterSettings defog_off = global;
  defog_off.Defog = 0;
  defog_off.GammaVal = 0.33;  // a file applies: the base reals come through "%.2f"
  defog_off.USMRadius = 0.33;
  FilterSettings rounded = global;  // a file applies but sets nothing
  rounded.GammaVal = 0.33;
  rounded.USMRadius = 0.33;
  FilterSettings usm_on = rounded;
  usm_on.USMEnable = 1;
  const struct {
    const char* what;
    const char* picture_file;  // null: none
    const char* folder_file;
    FilterSettings expected;
  } cases[] = {
      {"neither file: the global settings exactly", nullptr, nullptr, global},
      {"folder file alone", nullptr, "[ChromalinePlugIn]\r\nDefog=0\r\n", defog_off},
      {"both: only the picture's file", "[ChromalinePlugIn]\r\nUSMEnable=1\r\n",
       "[ChromalinePlugIn]\r\nDefog=0\r\nToneFilter=0\r\nUSMAmount=1\r\n", usm_on},
      {"picture file without the section", "[Other]\r\nUSMEnable=1\r\n", "[ChromalinePlugIn]\r\nDefog=0\r\n",
       rounded},
      {"empty picture file", "", "[ChromalinePlugIn]\r\nDefog=0\r\n", rounded},
  };
  for (const auto& c : cases) {
    Folder folder;
    if (c.picture_file) Put(folder.File("a.zprop"), c.picture_file);
    if (c.folder_file) Put(folder.File("zprop.ini"), c.folder_file);
    EXPECT_EQ(ReadLocalSettings(folder.File("a.jpg").c_str(), global), c.expected) << c.what;
  }
}

TEST(LocalSettingsFiles, ValuesAsTheyStandInTheFile) {
  const FilterSettings global = Global();
  const struct {
    const char* line;
    FilterSettings expected;
  } cases[] = {
      {"DefogVal=abc",
       [&] {
         FilterSettings s = global;
         s.DefogVal = 0;
         return s;
       }()},
      {"DefogVal=",
       [&] {
         FilterSettings s = global;
         s.DefogVal = 0;
         return s;
       }()},
      {"DefogVal", global},  // no "=": as if missing
      {"Defogval = 250 ",
       [&] {
         FilterSettings s = global;
         s.DefogVal = 250;
         return s;
       }()},
      {"DefogVal=-0",
       [&] {
         FilterSettings s = global;
         s.DefogVal = 0;
         return s;
       }()},
      {"DefogVal=99999999999",
       [&] {
         FilterSettings s = global;
         s.DefogVal = 0;
         return s;
       }()},
      {"DefogVal=\"12\"",
       [&] {
         FilterSettings s = global;
         s.DefogVal = 12;
         return s;
       }()},
      {"GammaVal=1e308",
       [&] {
         FilterSettings s = global;
         s.GammaVal = 1e308;
         return s;
       }()},
      {"GammaVal=1e309",
       [&] {
         FilterSettings s = global;
         s.GammaVal = 0.0;
         return s;
       }()},
      {"GammaVal=nan",
       [&] {
         FilterSettings s = global;
         s.GammaVal = 0.0;
         return s;
       }()},
      {"GammaVal=0.666",
       [&] {
         FilterSettings s = global;
         s.GammaVal = 0.666;
         return s;
       }()},
  };
  for (const auto& c : cases) {
    Folder folder;
    Put(folder.File("a.zprop"), std::string("[ChromalinePlugIn]\r\n") + c.line + "\r\n");
    FilterSettings expected = c.expected;
    // Whatever the line does not set comes from the base through "%.2f".
    if (std::string(c.line).rfind("GammaVal", 0) != 0) expected.GammaVal = 0.33;
    if (std::string(c.line).rfind("USMRadius", 0) != 0) expected.USMRadius = 0.33;
    EXPECT_EQ(ReadLocalSettings(folder.File("a.jpg").c_str(), global), expected) << c.line;
  }
}

TEST(LocalSettingsFiles, FilesThatAreNoSettingsFilesReadWithoutHarm) {
  const FilterSettings global = Global();
  FilterSettings rounded = global;
  rounded.GammaVal = 0.33;
  rounded.USMRadius = 0.33;
  std::string junk;
  std::mt19937 random(7);
  for (int i = 0; i < 300000; ++i) junk += static_cast<char>(random());
  const struct {
    const char* what;
    std::string text;
    FilterSettings expected;
  } cases[] = {
      {"binary junk", junk, rounded},
      {"junk around the section", junk + "\n[ChromalinePlugIn]\nUSMEnable=1\n" + junk,
       [&] {
         FilterSettings s = rounded;
         s.USMEnable = 1;
         return s;
       }()},
      {"an enormous line", "[ChromalinePlugIn]\r\nUSMAmount=" + std::string(3 << 20, '7') + "\r\nDefog=0\r\n",
       [&] {
         FilterSettings s = rounded;
         s.USMAmount = 0;
         s.Defog = 0;
         return s;
       }()},
      {"an enormous real", "[ChromalinePlugIn]\r\nGammaVal=" + std::string(100000, '9') + "\r\n",
       [&] {
         FilterSettings s = rounded;
         s.GammaVal = 0.0;
         return s;
       }()},
  };
  for (const auto& c : cases) {
    Folder folder;
    Put(folder.File("a.zprop"), c.text);
    EXPECT_EQ(ReadLocalSettings(folder.File("a.jpg").c_str(), global), c.expected) << c.what;
  }
}

TEST(LocalSettingsFiles, AFolderNamedLikeThePictureFileHidesTheFolderFile) {
  Folder folder;
  fs::create_directory(folder.File("a.zprop"));
  Put(folder.File("zprop.ini"), "[ChromalinePlugIn]\r\nDefog=0\r\n");
  FilterSettings expected = Global();
  expected.GammaVal = 0.33;
  expected.USMRadius = 0.33;
  EXPECT_EQ(ReadLocalSettings(folder.File("a.jpg").c_str(), Global()), expected);
  // Writing cannot put a file there: nothing happens, the folder stays.
  WriteLocalSettings(folder.File("a.jpg").c_str(), FilterSettings());
  EXPECT_TRUE(fs::is_directory(folder.File("a.zprop")));
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"a.zprop", "zprop.ini"}));
}

TEST(LocalSettingsFiles, ReadIniDoubleGivesAMissingKeyItsDefaultToTwoDecimals) {
  Folder folder;
  const std::string file = folder.File("x.ini");
  Put(file, "[ChromalinePlugIn]\r\nGammaVal=0.666\r\n");
  EXPECT_EQ(ReadIniDouble("ChromalinePlugIn", "GammaVal", 5.0, file), 0.666);
  EXPECT_EQ(ReadIniDouble("ChromalinePlugIn", "USMRadius", 0.333, file), 0.33);
  EXPECT_EQ(ReadIniDouble("Other", "GammaVal", 0.125, file), 0.12);
  EXPECT_EQ(ReadIniDouble("ChromalinePlugIn", "GammaVal", 0.5, folder.File("missing.ini")), 0.5);
}

TEST(LocalSettingsFiles, AReadOnlyFileIsLeftAsItWas) {
  Folder folder;
  const std::string old_text = "[ChromalinePlugIn]\r\nUSMAmount=1\r\n";
  Put(folder.File("a.zprop"), old_text);
  fs::permissions(folder.File("a.zprop"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  WriteLocalSettings(folder.File("a.jpg").c_str(), Global());
  EXPECT_EQ(Get(folder.File("a.zprop")), old_text);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.zprop"}) << "no temp file is left behind";
}

TEST(LocalSettingsFiles, OddPaths) {
  Folder folder;
  const FilterSettings s = Global();
  FilterSettings read_back = s;
  read_back.GammaVal = 0.33;
  read_back.USMRadius = 0.33;

  // A trailing dot and non-ASCII bytes: the name rules as written.
  WriteLocalSettings(folder.File("scan.").c_str(), s);
  EXPECT_TRUE(fs::exists(folder.File("scan.zprop")));
  const std::string accented = folder.File(
      "\xC3\x9C"
      "ber.jpg");  // UTF-8 natively, two ANSI letters on Windows
  WriteLocalSettings(accented.c_str(), s);
  EXPECT_EQ(ReadLocalSettings(accented.c_str(), FilterSettings()), read_back);

  // Far beyond any path limit: no file, no crash, the base settings.
  const std::string long_path = folder.File(std::string(5000, 'x') + ".jpg");
  WriteLocalSettings(long_path.c_str(), s);
  EXPECT_EQ(ReadLocalSettings(long_path.c_str(), s), s);

  // Null and empty paths name no file.
  WriteLocalSettings(nullptr, s);
  WriteLocalSettings("", s);
  EXPECT_EQ(ReadLocalSettings(nullptr, s), s);
  EXPECT_EQ(ReadLocalSettings("", s), s);
  EXPECT_EQ(folder.Names().size(), 2u) << "scan.zprop and the accented one, nothing else";
}

TEST(LocalSettingsFiles, APathWithoutAFolderMeansTheCurrentFolder) {
  Folder folder;
  const fs::path saved = fs::current_path();
  fs::current_path(folder.Path());
  WriteLocalSettings("scan", Global());
  Put("zprop.ini", "[ChromalinePlugIn]\r\nUSMAmount=3\r\n");
  const FilterSettings own = ReadLocalSettings("scan", FilterSettings());
  const FilterSettings other = ReadLocalSettings("other.jpg", FilterSettings());
  fs::current_path(saved);
  EXPECT_TRUE(fs::exists(folder.File("scan.zprop"))) << "beside the picture, not in the system's folder";
  EXPECT_EQ(own.USMAmount, 77);
  EXPECT_EQ(other.USMAmount, 3);
}

#if !defined(_WIN32)
TEST(LocalSettingsFiles, APipeNamedLikeTheSettingsFileNeitherBlocksNorIsReplaced) {
  Folder folder;
  ASSERT_EQ(mkfifo(folder.File("a.zprop").c_str(), 0600), 0);
  FilterSettings expected = Global();
  expected.GammaVal = 0.33;
  expected.USMRadius = 0.33;
  EXPECT_EQ(ReadLocalSettings(folder.File("a.jpg").c_str(), Global()), expected) << "read as an unreadable file";
  WriteLocalSettings(folder.File("a.jpg").c_str(), Global());
  EXPECT_TRUE(fs::is_fifo(folder.File("a.zprop")));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.zprop"});
}
#endif

}  // namespace
