// Opening and reading files through the wide Windows API: paths are UTF-8
// inside the program and UTF-16 at the system.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "text/nativefile.h"
#include "text/paths.h"
#include "text/widepath.h"

namespace {

TOpenStatus StatusOfError(DWORD Code) {
  switch (Code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return TOpenStatus::Missing;
    default:
      return TOpenStatus::CannotOpen;
  }
}

}  // namespace

std::string SystemErrorText(int Code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(Code), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L'.' || message.back() == L' '))
    message.pop_back();
  if (message.empty()) return "system error " + std::to_string(Code);
  return Utf8OfWide(message);
}

TNativeFile TNativeFile::Open(const std::string& Path, TOpenError& Error) {
  NoteFileOpen();
  Error = TOpenError{};
  TNativeFile file;
  // Shared for reading, writing and deleting: the drafting program may hold
  // the drawing open, and nothing here must stand in its way.
  // FILE_FLAG_BACKUP_SEMANTICS lets a folder open, so that it is reported as
  // a folder and not as a refusal.
  const HANDLE h =
      CreateFileW(WideOfUtf8(ExtendedLengthPath(Path)).c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    Error = {StatusOfError(code), static_cast<int>(code), SystemErrorText(static_cast<int>(code))};
    return file;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(h);
    Error = {TOpenStatus::NotRegular, 0, folder ? "is a folder" : "not a regular file"};
    return file;
  }
  file.Handle = reinterpret_cast<intptr_t>(h);
  file.SizeAtOpen = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return file;
}

int64_t TNativeFile::Read(void* Dst, size_t N) {
  DWORD got = 0;
  const DWORD want = N > 0x40000000 ? 0x40000000 : static_cast<DWORD>(N);
  if (!ReadFile(reinterpret_cast<HANDLE>(Handle), Dst, want, &got, nullptr)) return -1;
  return got;
}

void TNativeFile::Close() {
  if (Handle != Invalid) CloseHandle(reinterpret_cast<HANDLE>(Handle));
  Handle = Invalid;
}

namespace {

// FILETIME counts 100 ns from 1601; 11644473600 s lie between 1601 and 1970.
int64_t NsOfFileTime(const FILETIME& T) {
  const int64_t ticks =
      static_cast<int64_t>((static_cast<uint64_t>(T.dwHighDateTime) << 32) | T.dwLowDateTime);
  return (ticks - 116444736000000000LL) * 100;
}

}  // namespace

namespace {

using TQueryDirectory = LONG(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, IO_STATUS_BLOCK*, PVOID, ULONG,
                                     ULONG, BOOLEAN, UNICODE_STRING*, BOOLEAN);
constexpr ULONG FileIdBothDirectoryClass = 37;  // FileIdBothDirectoryInformation

TQueryDirectory QueryDirectory() {
  static const auto query = reinterpret_cast<TQueryDirectory>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryDirectoryFile")));
  return query;
}

// A file's stamp from its entry in a directory query; false for a folder or
// a device.
bool StampOfEntry(const FILE_ID_BOTH_DIR_INFO& Entry, DWORD Volume, TFileStamp& Stamp) {
  if (Entry.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return false;
  auto ns = [](const LARGE_INTEGER& T) {
    FILETIME f{static_cast<DWORD>(T.LowPart), static_cast<DWORD>(T.HighPart)};
    return NsOfFileTime(f);
  };
  Stamp.Size = static_cast<uint64_t>(Entry.EndOfFile.QuadPart);
  Stamp.ModifiedNs = ns(Entry.LastWriteTime);
  Stamp.ChangedNs = ns(Entry.ChangeTime);
  Stamp.Device = Volume;
  Stamp.FileId = static_cast<uint64_t>(Entry.FileId.QuadPart);
  return true;
}

constexpr ULONGLONG ListingLifeMs = 1000;

}  // namespace

// The folder a thread last asked about, and its files when it was listed
// whole. A search asks for the files of one folder one after another; asking
// the folder for each name costs a query each (under Wine one that reads the
// whole folder), so from the second file on the folder is listed once.
struct TFolderStamps::TListing {
  std::wstring Folder;
  ULONGLONG Since = 0;  // when the folder was first asked about, or listed
  // Asked about once; listed whole; or its listing failed, and each of its
  // files is asked for by name (not listed again for every one of them).
  enum { Asked, Listed, Unlisted } State = Asked;
  std::unordered_map<std::wstring, TFileStamp> Files;
};

TFolderStamps::TFolderStamps() : Listing(std::make_unique<TListing>()) {}
TFolderStamps::~TFolderStamps() = default;

namespace {

// Lists the folder open as Dir into Listing.
bool ListStamps(HANDLE Dir, DWORD Volume, TFolderStamps::TListing& Listing) {
  const TQueryDirectory query = QueryDirectory();
  std::vector<unsigned char> buffer(64 * 1024);
  Listing.Files.clear();
  for (BOOLEAN restart = TRUE;; restart = FALSE) {
    IO_STATUS_BLOCK status{};
    const LONG got =
        query(Dir, nullptr, nullptr, nullptr, &status, buffer.data(),
              static_cast<ULONG>(buffer.size()), FileIdBothDirectoryClass, FALSE, nullptr, restart);
    if (got == static_cast<LONG>(0x80000006L)) return true;  // no more files
    if (got < 0) return false;
    for (size_t at = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
      TFileStamp stamp;
      if (StampOfEntry(*entry, Volume, stamp)) {
        Listing.Files.emplace(
            std::wstring(entry->FileName, entry->FileNameLength / sizeof(wchar_t)), stamp);
      }
      if (entry->NextEntryOffset == 0) break;
      at += entry->NextEntryOffset;
    }
  }
}

}  // namespace

// The folder is asked for the file's entry (the system's directory query
// with the name as its pattern: a Windows name holds no wildcard), which
// gives the change time and the file id without opening the file itself.
// Nothing is said of a file when the query is not to be had.
bool StampOfFile(const std::string& Path, TFileStamp& Stamp) {
  TFolderStamps once;
  return StampOfFile(Path, Stamp, once);
}

bool StampOfFile(const std::string& Path, TFileStamp& Stamp, TFolderStamps& Known) {
  const TQueryDirectory query = QueryDirectory();
  if (!query) return false;
  const std::wstring wide = WideOfUtf8(ExtendedLengthPath(Path));
  const size_t cut = wide.find_last_of(L"\\/:");
  if (cut == std::wstring::npos || cut + 1 >= wide.size()) return false;
  std::wstring folder = wide.substr(0, cut + 1);
  std::wstring name = wide.substr(cut + 1);
  TFolderStamps::TListing& last = *Known.Listing;
  const ULONGLONG now = GetTickCount64();
  const bool again = last.Folder == folder && now - last.Since < ListingLifeMs;
  if (again && last.State == TFolderStamps::TListing::Listed) {
    const auto found = last.Files.find(name);
    if (found != last.Files.end()) {
      Stamp = found->second;
      return true;
    }
  }
  const HANDLE dir = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (dir == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION volume{};
  const bool haveVolume = GetFileInformationByHandle(dir, &volume);
  if (again && last.State == TFolderStamps::TListing::Asked && haveVolume) {
    // The second file of this folder: the whole folder at once.
    const bool listed = ListStamps(dir, volume.dwVolumeSerialNumber, last);
    last.State = listed ? TFolderStamps::TListing::Listed : TFolderStamps::TListing::Unlisted;
    last.Since = now;
    if (listed) {
      const auto found = last.Files.find(name);
      if (found != last.Files.end()) {
        CloseHandle(dir);
        Stamp = found->second;
        return true;
      }
    }
  } else if (!again) {
    last.Folder = folder;
    last.Since = now;
    last.State = TFolderStamps::TListing::Asked;
    last.Files.clear();
  }
  alignas(8) unsigned char buffer[sizeof(FILE_ID_BOTH_DIR_INFO) + 2 * MAX_PATH];
  IO_STATUS_BLOCK status{};
  UNICODE_STRING pattern{};
  pattern.Buffer = name.data();
  pattern.Length = pattern.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  const LONG got = query(dir, nullptr, nullptr, nullptr, &status, buffer, sizeof buffer,
                         FileIdBothDirectoryClass, TRUE, &pattern, TRUE);
  CloseHandle(dir);
  if (got < 0 || !haveVolume) return false;
  return StampOfEntry(*reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer),
                      volume.dwVolumeSerialNumber, Stamp);
}

TCreateStatus WriteNewFile(const std::string& Path, std::string_view Content, std::string& Reason) {
  const std::wstring wide = WideOfUtf8(Path);
  // CREATE_NEW fails on any name that exists, a link included.
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return TCreateStatus::Exists;
    Reason = SystemErrorText(static_cast<int>(code));
    return TCreateStatus::Failed;
  }
  DWORD code = 0;
  for (size_t at = 0; at < Content.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(Content.size() - at, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h, Content.data() + at, chunk, &written, nullptr) || written == 0) {
      code = GetLastError();
      if (code == 0) code = ERROR_DISK_FULL;
      break;
    }
    at += written;
  }
  if (!CloseHandle(h) && code == 0) code = GetLastError();
  if (code == 0) return TCreateStatus::Written;
  DeleteFileW(wide.c_str());
  Reason = SystemErrorText(static_cast<int>(code));
  return TCreateStatus::Failed;
}

bool ListFolder(const std::string& Folder, std::vector<std::string>& Folders,
                std::vector<std::string>& Files, std::string& Reason) {
  std::string base = Folder;
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileExW(WideOfUtf8(ExtendedLengthPath(base + "*")).c_str(),
                                       FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) {
    Reason = SystemErrorText(static_cast<int>(GetLastError()));
    return false;
  }
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::string path = base + Utf8OfWide(name);
    const bool link = data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!link) Folders.push_back(path);
    } else {
      Files.push_back(path);
    }
  } while (FindNextFileW(find, &data));
  const DWORD last = GetLastError();
  FindClose(find);
  if (last != ERROR_NO_MORE_FILES) {
    Reason = SystemErrorText(static_cast<int>(last));
    return false;
  }
  return true;
}
