// A full disk for the files a test writes, without root.
#pragma once

#include <cstdint>

// While it lives, no file of the process may grow beyond `bytes` (a full disk for the file
// being written, without root): a write past it fails with EFBIG, SIGXFSZ is ignored.
class file_size_limit {
 public:
  explicit file_size_limit(uint64_t bytes);
  ~file_size_limit();
  file_size_limit(const file_size_limit&) = delete;
  file_size_limit& operator=(const file_size_limit&) = delete;

 private:
  uint64_t old_soft_ = 0;
  void (*old_handler_)(int) = nullptr;
};
