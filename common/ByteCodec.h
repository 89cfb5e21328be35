// Values packed into bytes and read back, for results that travel between
// processes of one run on the same kind of machine: fixed-size values are
// copied as they lie in memory, vectors and strings with their length first.
// A reader that runs past the end throws EKorvanaError.
#pragma once

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "common/EKorvanaError.h"

namespace korvana {

class ByteWriter {
 public:
  template <class T>
    requires std::is_trivially_copyable_v<T>
  void put(const T& value) {
    const auto* bytes = reinterpret_cast<const char*>(&value);
    bytes_.insert(bytes_.end(), bytes, bytes + sizeof value);
  }
  template <class T>
    requires std::is_trivially_copyable_v<T>
  void put(const std::vector<T>& values) {
    put(static_cast<std::uint64_t>(values.size()));
    const auto* bytes = reinterpret_cast<const char*>(values.data());
    bytes_.insert(bytes_.end(), bytes, bytes + values.size() * sizeof(T));
  }
  void put(const std::string& text) {
    put(static_cast<std::uint64_t>(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
  }
  std::vector<char>& bytes() { return bytes_; }

 private:
  std::vector<char> bytes_;
};

class ByteReader {
 public:
  ByteReader(const char* data, std::size_t size) : at_(data), end_(data + size) {}
  template <class T>
    requires std::is_trivially_copyable_v<T>
  void get(T& value) {
    need(sizeof value);
    std::memcpy(&value, at_, sizeof value);
    at_ += sizeof value;
  }
  template <class T>
    requires std::is_trivially_copyable_v<T>
  void get(std::vector<T>& values) {
    std::uint64_t count = 0;
    get(count);
    if (count > static_cast<std::uint64_t>(end_ - at_) / sizeof(T)) fail();
    values.resize(static_cast<std::size_t>(count));
    if (count == 0) return;  // an empty vector's data() may be null
    std::memcpy(values.data(), at_, values.size() * sizeof(T));
    at_ += values.size() * sizeof(T);
  }
  void get(std::string& text) {
    std::uint64_t count = 0;
    get(count);
    need(static_cast<std::size_t>(count));
    text.assign(at_, static_cast<std::size_t>(count));
    at_ += count;
  }
  template <class T>
  T take() {
    T value{};
    get(value);
    return value;
  }
  bool atEnd() const { return at_ == end_; }

 private:
  void need(std::size_t count) const {
    if (count > static_cast<std::size_t>(end_ - at_)) fail();
  }
  [[noreturn]] static void fail() { throw EKorvanaError("A message between the processes of the run is cut short"); }
  const char* at_;
  const char* end_;
};

}  // namespace korvana
