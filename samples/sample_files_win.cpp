#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "foundation/scoped_handle.h"
#include "samples/sample_files.h"

namespace samples {
namespace {

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
    if (!::WriteFile(file, bytes.data() + done, piece, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

}  // namespace

std::wstring OwnProgramPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

std::string ReadFileTail(const std::wstring& path, size_t count) {
  rezorev::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &size)) return std::string();
  const uint64_t total = static_cast<uint64_t>(size.QuadPart);
  const size_t take = static_cast<size_t>(std::min<uint64_t>(total, count));
  LARGE_INTEGER offset;
  offset.QuadPart = static_cast<LONGLONG>(total - take);
  if (!::SetFilePointerEx(file.Get(), offset, nullptr, FILE_BEGIN)) return std::string();
  std::string bytes(take, '\0');
  DWORD read = 0;
  if (take > 0 && (!::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(take), &read, nullptr) || read != take)) {
    return std::string();
  }
  return bytes;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  rezorev::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > (64 << 20)) return false;
  std::string data(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!data.empty() && (!::ReadFile(file.Get(), &data[0], static_cast<DWORD>(data.size()), &read, nullptr) ||
                        read != data.size())) {
    return false;
  }
  bytes = std::move(data);
  return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  rezorev::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid() && WriteAll(file.Get(), bytes);
}

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
  rezorev::ScopedHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid() && WriteAll(file.Get(), bytes);
}

std::string ResourceBytes(int id) {
  HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (!found) return std::string();
  const DWORD size = ::SizeofResource(nullptr, found);
  HGLOBAL loaded = ::LoadResource(nullptr, found);  // module memory: nothing to free
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || size == 0) return std::string();
  return std::string(static_cast<const char*>(data), size);
}

}  // namespace samples
