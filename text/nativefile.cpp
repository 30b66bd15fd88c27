#include "text/nativefile.h"

#include <cerrno>
#include <cstring>
#include <utility>

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
