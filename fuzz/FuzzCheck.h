// What the fuzz targets share: a check that aborts with a message (so libFuzzer saves the input
// and the replay test fails), and a reader that takes typed values off the front of the input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                   \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);       \
      std::abort();                                                                            \
    }                                                                                          \
  } while (0)

namespace fuzz {

// Reads values off the input; past its end every value is zero and every text empty.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return size_ == 0; }
  size_t Left() const { return size_; }

  template <typename T>
  T Take() {
    T value{};
    const size_t n = sizeof(T) < size_ ? sizeof(T) : size_;
    std::memcpy(&value, data_, n);
    data_ += n;
    size_ -= n;
    return value;
  }
  // An integer in [lo, hi].
  int64_t Range(int64_t lo, int64_t hi) {
    const uint64_t span = static_cast<uint64_t>(hi - lo) + 1;
    const uint64_t raw = Take<uint64_t>();
    return span == 0 ? lo + static_cast<int64_t>(raw) : lo + static_cast<int64_t>(raw % span);
  }
  // Up to max bytes, ended early by a 0xFF byte (which is consumed).
  std::string Text(size_t max) {
    std::string text;
    while (size_ > 0 && text.size() < max) {
      const uint8_t c = *data_++;
      --size_;
      if (c == 0xFF) break;
      text.push_back(static_cast<char>(c));
    }
    return text;
  }
  // Everything that is left.
  std::string_view Rest() {
    std::string_view rest(reinterpret_cast<const char*>(data_), size_);
    data_ += size_;
    size_ = 0;
    return rest;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace fuzz
