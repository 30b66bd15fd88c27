#include "jww/jwwtype.h"

#include <mutex>

namespace {
std::mutex ImageTableLock;
std::vector<TBindImageType> ImageTable;
}  // namespace

void ClearImageTable() {
  std::lock_guard<std::mutex> hold(ImageTableLock);
  ImageTable.clear();
  ImageTable.shrink_to_fit();
}

int32_t BindImageCount() {
  std::lock_guard<std::mutex> hold(ImageTableLock);
  return static_cast<int32_t>(ImageTable.size());
}

thread_local std::string LoadedFileName;
thread_local std::string ElapsedTimeText;
thread_local std::string MemoLine1;
thread_local std::string MemoLine2;
thread_local double LoadedSec8Real = 0.0;
