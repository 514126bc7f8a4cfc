// Reading a fuzz input: bytes from the front, and the channel values and
// names they encode. Past the end every read gives zeros.
#ifndef TESTS_FUZZ_FUZZ_INPUT_H_
#define TESTS_FUZZ_FUZZ_INPUT_H_

#include <flutter_linux/flutter_linux.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return size_ == 0; }
  uint8_t byte();
  uint64_t bytes_as_int(size_t count);
  std::string string(size_t max_length);

  // A name from `names` (count entries) most of the time, else any string.
  std::string name(const char* const* names, size_t count);

  // A value of any type. `view_id` turns an index into the view id of an
  // open window (ids keep growing, so inputs name windows by index).
  FlValue* value(const std::function<int64_t(uint8_t)>& view_id, int depth = 0);

 private:
  FlValue* map(const std::function<int64_t(uint8_t)>& view_id, int depth);

  const uint8_t* data_;
  size_t size_;
};

#endif  // TESTS_FUZZ_FUZZ_INPUT_H_
