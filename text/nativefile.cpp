#include "text/nativefile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {
std::atomic<uint64_t> OpenCalls{0};
}  // namespace

uint64_t FileOpenCount() {
  return OpenCalls.load(std::memory_order_relaxed);
}
void NoteFileOpen() {
  OpenCalls.fetch_add(1, std::memory_order_relaxed);
}

TNativeFile::~TNativeFile() {
  Close();
}

TNativeFile::TNativeFile(TNativeFile&& Other) noexcept
    : Handle(std::exchange(Other.Handle, Invalid)), SizeAtOpen(Other.SizeAtOpen) {}

TNativeFile& TNativeFile::operator=(TNativeFile&& Other) noexcept {
  if (this != &Other) {
    Close();
    Handle = std::exchange(Other.Handle, Invalid);
    SizeAtOpen = Other.SizeAtOpen;
  }
  return *this;
}
