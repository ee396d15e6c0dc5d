// The safe writer on Windows: CreateFile(CREATE_NEW), WriteFile,
// FlushFileBuffers, then MoveFileEx (REPLACE_EXISTING over an existing file
// unless the caller keeps its attributes with ReplaceFile). Names come in
// as UTF-8 and go to the W calls as UTF-16.
#include <windows.h>
#include <aclapi.h>

#include "base/safe_file.h"
#include "base/scoped_win32.h"

namespace {

std::wstring W(const std::string& name) { return WideFromUtf8(name); }

std::string SystemText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string result =
      n != 0 && text != nullptr ? Utf8FromWide(std::wstring(text, n)) : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.')) {
    result.pop_back();
  }
  return result;
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

bool Refuse(const std::string& target, const std::string& reason, std::string* error) {
  *error = target + ": cannot be written: " + reason;
  return false;
}

// The target's attributes (INVALID_FILE_ATTRIBUTES: a new file), or false
// when it may not be replaced.
bool Inspect(const std::string& target, DWORD* attributes, std::string* error) {
  *attributes = GetFileAttributesW(W(target).c_str());
  if (*attributes == INVALID_FILE_ATTRIBUTES) return true;
  if ((*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Refuse(target, "it is a folder", error);
  // The system refuses to replace a read-only file only for some callers;
  // here it is refused for all.
  if ((*attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return Refuse(target, LastSystemError(), error);
  }
  return true;
}

// Brings the filled copy to the disk. A copy filled by name is opened
// again for it.
bool Flush(const TemporaryFile& file) {
  if (file.open()) return FlushFileBuffers(reinterpret_cast<HANDLE>(file.handle())) != 0;
  const HANDLE handle = CreateFileW(W(file.path()).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool flushed = FlushFileBuffers(handle) != 0;
  const DWORD reason = GetLastError();
  CloseHandle(handle);
  if (!flushed) SetLastError(reason);
  return flushed;
}

// The copy takes the target's place.
bool MoveIn(const std::string& temp, const std::string& target, DWORD attributes, const SafeWriteOptions& options) {
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // Without REPLACE_EXISTING: a file that appeared meanwhile stays.
    return MoveFileExW(W(temp).c_str(), W(target).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (!options.keep_windows_attributes) {
    return MoveFileExW(W(temp).c_str(), W(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  // Wine's ReplaceFile makes its own temporary file in the target's folder
  // and cannot find the folder of a bare name.
  const std::string replaced = target.find_first_of("\\/:") == std::string::npos ? ".\\" + target : target;
  if (!ReplaceFileW(W(replaced).c_str(), W(temp).c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                    nullptr)) {
    const DWORD reason = GetLastError();
    // The old file went away but the copy was not renamed: the copy is all
    // there is now, so it goes in by a plain rename.
    if ((reason == ERROR_UNABLE_TO_MOVE_REPLACEMENT || reason == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) &&
        GetFileAttributesW(W(target).c_str()) == INVALID_FILE_ATTRIBUTES &&
        MoveFileExW(W(temp).c_str(), W(target).c_str(), MOVEFILE_WRITE_THROUGH)) {
      SetFileAttributesW(W(target).c_str(), attributes);
      return true;
    }
    SetLastError(reason);
    return false;
  }
  // Not every implementation carries the attributes over; put them back
  // where it did not (the file was neither a folder nor read-only).
  if (GetFileAttributesW(W(target).c_str()) != attributes) SetFileAttributesW(W(target).c_str(), attributes);
  return true;
}

// A new temporary for `name` in a folder (`prefix`: its path with the
// separator, or empty for the current one), made exclusively (a name
// taken already is simply retried); INVALID_HANDLE_VALUE with the system's error when none can be
// made. A name too long for the plug-in's profile functions leaves out
// `name`.
HANDLE CreateTemporary(const std::string& prefix, const std::string& name, DWORD flags, std::string* path) {
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    *path = prefix + NewTemporaryName(name);
    if (W(*path).size() >= MAX_PATH) *path = prefix + NewTemporaryName(std::string());
    handle = CreateFileW(W(*path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  return handle;
}

}  // namespace

bool TemporaryFile::Write(const void* data, size_t size) {
  if (handle_ == kClosed) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle_), bytes, chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    bytes += written;
    size -= written;
  }
  return true;
}

bool TemporaryFile::Close() {
  if (handle_ == kClosed) return true;
  const bool closed = CloseHandle(reinterpret_cast<HANDLE>(handle_)) != 0;
  handle_ = kClosed;
  return closed;
}

std::string LastSystemError() { return SystemText(GetLastError()); }

bool CanReplace(const std::string& target, std::string* error) {
  DWORD attributes = 0;
  return Inspect(target, &attributes, error);
}

bool ReplaceFileSafely(const std::string& target, const std::function<bool(TemporaryFile&)>& fill,
                       const SafeWriteOptions& options, std::string* error) {
  DWORD attributes = 0;
  if (!Inspect(target, &attributes, error)) return false;
  const std::string folder = FolderOf(target);
  std::string prefix = folder;
  if (prefix == ".") prefix.clear();
  else if (prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';

  std::string temp;
  const HANDLE handle = CreateTemporary(prefix, NameOf(target), FILE_ATTRIBUTE_NORMAL, &temp);
  if (handle == INVALID_HANDLE_VALUE) {
    *error = target + ": cannot be written in " + folder + ": " + LastSystemError();
    return false;
  }

  TemporaryFile file(temp, reinterpret_cast<intptr_t>(handle));
  SetLastError(ERROR_SUCCESS);
  bool ok = fill(file) && Flush(file);
  // A filler that failed without a system call failing.
  DWORD reason = GetLastError() != ERROR_SUCCESS ? GetLastError() : static_cast<DWORD>(ERROR_WRITE_FAULT);
  if (!file.Close() && ok) {
    ok = false;
    reason = GetLastError();
  }
  if (ok && !MoveIn(temp, target, attributes, options)) {
    ok = false;
    reason = GetLastError();
  }
  if (!ok) {
    SetFileAttributesW(W(temp).c_str(), FILE_ATTRIBUTE_NORMAL);  // a filler may have copied others
    DeleteFileW(W(temp).c_str());
    SetLastError(reason);
    return Refuse(target, LastSystemError(), error);
  }
  return true;
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
  const DWORD attributes = GetFileAttributesW(W(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return false;
  }
  // The owner of the file against the user this process runs as.
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(W(path).c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
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
  std::string probe;
  const HANDLE file =
      CreateTemporary(prefix, "chromaline-probe", FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, &probe);
  if (file == INVALID_HANDLE_VALUE) {
    *reason = LastSystemError();
    return false;
  }
  CloseHandle(file);
  reason->clear();
  return true;
}

bool MayWriteIn(const std::string& folder, std::string* reason) {
  // A folder's read-only attribute does not keep files out of it; only
  // making one would tell more, and a dry run makes nothing.
  const DWORD attributes = GetFileAttributesW(W(folder.empty() ? std::string(".") : folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    *reason = LastSystemError();
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    *reason = "it is not a folder";
    return false;
  }
  reason->clear();
  return true;
}

bool IdentifyFile(const std::string& path, FileIdentity* identity) {
  HANDLE file = CreateFileW(W(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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
