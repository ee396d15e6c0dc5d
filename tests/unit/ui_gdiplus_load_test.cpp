// Where the dialog's GDI+ comes from (Windows only): the system folder,
// never a gdiplus.dll beside the viewer or in the current folder, which
// anyone may have filled. A probe program (tests/tools/gdiplus_probe.cpp)
// is copied with a stand-in gdiplus.dll into a new folder and started there.
#if defined(_WIN32)
#include <windows.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

fs::path ProgramFolder() {
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return fs::path(path).parent_path();
}

// Runs `program` in `folder` and gives its exit code, or -1.
int RunIn(const fs::path& program, const fs::path& folder) {
  std::string command = "\"" + program.string() + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.string().c_str(),
                      &startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.hProcess, &code)) {
    TerminateProcess(process.hProcess, 3);
    code = static_cast<DWORD>(-1);
  }
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

// Wine prefers its own built-in GDI+ to any gdiplus.dll it finds; Windows
// has no built-ins and takes the first one along its search path. With
// WINEDLLOVERRIDES=gdiplus=n,b (as tests/CMakeLists.txt runs this program)
// Wine takes the found one as Windows does; without it the test proves
// nothing.
bool WineKeepsItsOwnGdiplus() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) return false;
  char overrides[1024] = {};
  GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
  return std::string(overrides).find("gdiplus=n") == std::string::npos;
}

TEST(GdiplusLoad, AGdiplusDllBesideTheViewerOrInTheCurrentFolderIsNotLoaded) {
  if (WineKeepsItsOwnGdiplus()) GTEST_SKIP() << "under Wine only with WINEDLLOVERRIDES=gdiplus=n,b";
  const fs::path probe = ProgramFolder() / "gdiplus_probe.exe";
  const fs::path fake = ProgramFolder() / "fake-gdiplus" / "gdiplus.dll";
  std::random_device entropy;
  const fs::path folder = fs::temp_directory_path() / ("chromaline-gdiplus-" + std::to_string(entropy()));
  ASSERT_TRUE(fs::create_directory(folder)) << folder.string();
  std::error_code copied;
  if (fs::copy_file(probe, folder / "viewer.exe", copied)) fs::copy_file(fake, folder / "gdiplus.dll", copied);
  const int code = copied ? -1 : RunIn(folder / "viewer.exe", folder);
  std::error_code ignored;
  fs::remove_all(folder, ignored);

  ASSERT_FALSE(copied) << copied.message();
  EXPECT_EQ(code, 0) << (code == 1   ? "the gdiplus.dll beside the program and in the current folder was loaded"
                         : code == 2 ? "GDI+ did not start from the system folder"
                                     : "the probe did not run to its end");
}

}  // namespace
#endif  // _WIN32
