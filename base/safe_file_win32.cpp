// File: base/safe_file_win32.cpp
//
// The safe writer on Windows: CreateFile(CREATE_NEW), WriteFile,
// FlushFileBuffers, then MoveFileEx(REPLACE_EXISTING | WRITE_THROUGH).
// A read-only target makes the move fail, and the target stays.
#include <windows.h>
#include <aclapi.h>

#include "base/safe_file.h"

namespace {

std::string SystemText(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = n != 0 && text != nullptr ? std::string(text, n) : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.')) {
    result.pop_back();
  }
  return result;
}

bool WriteAll(HANDLE file, const unsigned char* data, size_t size) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
  return path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string LastSystemError() { return SystemText(GetLastError()); }

bool WriteFileSafely(const std::string& target, const void* data, size_t size, std::string* error) {
  const auto fail = [&](const std::string& what) {
    *error = target + ": " + what + ": " + LastSystemError();
    return false;
  };
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    *error = target + ": cannot be written: it is a folder";
    return false;
  }
  const std::string folder = FolderOf(target);
  std::string prefix = folder;
  if (prefix == ".") prefix.clear();
  else if (prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';

  std::string temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = prefix + NewTemporaryName(NameOf(target));
    file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) return fail("cannot be written in " + folder);

  bool ok = WriteAll(file, static_cast<const unsigned char*>(data), size) && FlushFileBuffers(file);
  const DWORD saved = GetLastError();
  const bool closed = CloseHandle(file) != 0;
  if (ok) ok = closed;
  else SetLastError(saved);
  if (ok) ok = MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) {
    const DWORD reason = GetLastError();
    DeleteFileA(temp.c_str());
    SetLastError(reason);
    return fail("cannot be written");
  }
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  const auto open = [](const std::string& path) {
    return CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  };
  HANDLE fa = open(a);
  if (fa == INVALID_HANDLE_VALUE) return false;
  HANDLE fb = open(b);
  bool same = false;
  if (fb != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (GetFileInformationByHandle(fa, &ia) && GetFileInformationByHandle(fb, &ib)) {
      same = ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
             ia.nFileIndexLow == ib.nFileIndexLow;
    }
    CloseHandle(fb);
  }
  CloseHandle(fa);
  return same;
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool ProcessRunning(unsigned long id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process, else not ours to ask
  DWORD code = 0;
  const bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
}

bool IsOwnRegularFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return false;
  }
  // The owner of the file against the user this process runs as.
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  bool own = false;
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    if (size != 0 && GetTokenInformation(token, TokenUser, &buffer[0], size, &size)) {
      own = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(&buffer[0])->User.Sid) != 0;
    }
    CloseHandle(token);
  }
  LocalFree(descriptor);
  return own;
}

bool CanWriteIn(const std::string& folder, std::string* reason) {
  std::string prefix = folder.empty() ? std::string() : folder;
  if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string probe = prefix + NewTemporaryName("chromaline-probe");
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      reason->clear();
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  *reason = LastSystemError();
  return false;
}

bool IdentifyFile(const std::string& path, FileIdentity* identity) {
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  if (!ok) return false;
  identity->volume = info.dwVolumeSerialNumber;
  identity->index = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}
