// Decoding channel values from fuzz bytes: every FlValue type, extreme
// numbers, huge strings and lists, and maps keyed mostly by the names the
// shell reads.
#include "tests/fuzz/fuzz_input.h"

#include <cstring>
#include <limits>
#include <vector>

namespace {

// Deeper nesting adds nothing the shell could read.
constexpr int kMaxDepth = 6;
constexpr size_t kMaxEntries = 12;
// Huge values are sized in steps of this many elements (up to 256 steps).
constexpr size_t kHugeStep = 4096;

constexpr const char* kKeys[] = {
    "targetViewId",    "parentViewId", "childViewId", "fullscreen",
    "globalX",         "globalY",      "edge",        "preferredWidth",
    "preferredHeight", "minWidth",     "minHeight",   "showSystemTitleBar",
};

constexpr const char* kEdges[] = {
    "northWest", "north",     "northEast", "east",  "southEast",
    "south",     "southWest", "west",      "North", "",
};

constexpr int64_t kExtremeInts[] = {
    0,
    -1,
    1,
    std::numeric_limits<int64_t>::min(),
    std::numeric_limits<int64_t>::max(),
    std::numeric_limits<int32_t>::min(),
    std::numeric_limits<int32_t>::max(),
    static_cast<int64_t>(std::numeric_limits<int32_t>::min()) - 1,
    static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1,
    std::numeric_limits<uint32_t>::max(),
    32767,
    32768,
    65536,
    2,
};

constexpr double kExtremeDoubles[] = {
    std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::max(),
    std::numeric_limits<double>::lowest(),
    std::numeric_limits<double>::denorm_min(),
    -0.0,
    2147483647.5,
    2147483648.0,
    -2147483649.0,
    9.3e18,
    0.5,
};

template <typename T, size_t N>
constexpr size_t count_of(const T (&)[N]) {
  return N;
}

}  // namespace

uint8_t FuzzInput::byte() {
  if (size_ == 0) {
    return 0;
  }
  size_--;
  return *data_++;
}

uint64_t FuzzInput::bytes_as_int(size_t count) {
  uint64_t value = 0;
  for (size_t i = 0; i < count; i++) {
    value |= static_cast<uint64_t>(byte()) << (8 * i);
  }
  return value;
}

std::string FuzzInput::string(size_t max_length) {
  const size_t length = byte() % (max_length + 1);
  std::string text;
  for (size_t i = 0; i < length && !empty(); i++) {
    text.push_back(static_cast<char>(byte()));
  }
  return text;
}

std::string FuzzInput::name(const char* const* names, size_t count) {
  const uint8_t selector = byte();
  if (selector < 0xf0) {
    return names[selector % count];
  }
  return string(48);
}

FlValue* FuzzInput::value(const std::function<int64_t(uint8_t)>& view_id,
                          int depth) {
  const uint8_t tag = byte() % 20;
  switch (tag) {
    case 0:
      return fl_value_new_null();
    case 1:
      return fl_value_new_bool(byte() & 1);
    case 2:
      return fl_value_new_int(static_cast<int8_t>(byte()) * 64);
    case 3:
      return fl_value_new_int(static_cast<int64_t>(bytes_as_int(8)));
    case 4:
      return fl_value_new_int(kExtremeInts[byte() % count_of(kExtremeInts)]);
    case 5: {
      const uint64_t bits = bytes_as_int(8);
      double number;
      memcpy(&number, &bits, sizeof number);
      return fl_value_new_float(number);
    }
    case 6:
      return fl_value_new_float(
          kExtremeDoubles[byte() % count_of(kExtremeDoubles)]);
    case 7: {
      const std::string text = string(64);
      return fl_value_new_string_sized(text.data(), text.size());
    }
    case 8: {
      std::string huge((byte() + 1) * kHugeStep, static_cast<char>(byte()));
      return fl_value_new_string(huge.c_str());
    }
    case 9: {
      std::string bytes = string(64);
      return fl_value_new_uint8_list(
          reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    case 10: {
      const size_t length =
          (byte() % 4 == 0) ? (byte() + 1) * kHugeStep : byte() % 16;
      std::vector<int32_t> numbers(length, static_cast<int8_t>(byte()));
      return fl_value_new_int32_list(numbers.data(), numbers.size());
    }
    case 11: {
      std::vector<int64_t> numbers(byte() % 16);
      for (int64_t& number : numbers) {
        number = kExtremeInts[byte() % count_of(kExtremeInts)];
      }
      return fl_value_new_int64_list(numbers.data(), numbers.size());
    }
    case 12: {
      std::vector<double> numbers(byte() % 16);
      for (double& number : numbers) {
        number = kExtremeDoubles[byte() % count_of(kExtremeDoubles)];
      }
      return fl_value_new_float_list(numbers.data(), numbers.size());
    }
    case 13: {
      std::vector<float> numbers(byte() % 16, static_cast<int8_t>(byte()));
      return fl_value_new_float32_list(numbers.data(), numbers.size());
    }
    case 14: {
      FlValue* list = fl_value_new_list();
      const size_t length = depth < kMaxDepth ? byte() % kMaxEntries : 0;
      for (size_t i = 0; i < length && !empty(); i++) {
        fl_value_append_take(list, value(view_id, depth + 1));
      }
      return list;
    }
    case 15: {
      // A huge list of one shared value.
      FlValue* list = fl_value_new_list();
      g_autoptr(FlValue) element = fl_value_new_int(byte());
      const size_t length = (byte() + 1) * kHugeStep;
      for (size_t i = 0; i < length; i++) {
        fl_value_append(list, element);
      }
      return list;
    }
    case 16:
      return fl_value_new_string(kEdges[byte() % count_of(kEdges)]);
    default:
      // Maps and view ids, what the shell reads most.
      if (tag == 19) {
        return fl_value_new_int(view_id(byte()));
      }
      return map(view_id, depth);
  }
}

FlValue* FuzzInput::map(const std::function<int64_t(uint8_t)>& view_id,
                        int depth) {
  FlValue* map = fl_value_new_map();
  const size_t entries = depth < kMaxDepth ? byte() % kMaxEntries : 0;
  for (size_t i = 0; i < entries && !empty(); i++) {
    const uint8_t selector = byte();
    FlValue* key;
    if (selector < 0xc0) {
      key = fl_value_new_string(kKeys[selector % count_of(kKeys)]);
    } else if (selector < 0xe0) {
      key = fl_value_new_string(string(32).c_str());
    } else {
      key = value(view_id, depth + 1);
    }
    fl_value_set_take(map, key, value(view_id, depth + 1));
  }
  return map;
}
