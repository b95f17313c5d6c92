#include "codec/value_format.h"

#include <iostream>

namespace flutter {
namespace internal {

void ReportUnknownType(uint8_t type) {
  std::cerr << "Unknown type in StandardCodecSerializer::ReadValueOfType: "
            << static_cast<int>(type) << std::endl;
}

void ReportNestingTooDeep() {
  std::cerr << "Nesting too deep in StandardCodecSerializer::ReadValueOfType"
            << std::endl;
}

void ReportCustomValue() {
  std::cerr << "Unhandled custom type in "
               "StandardCodecSerializer::WriteValue. "
               "Custom types require codec extensions."
            << std::endl;
}

}  // namespace internal
}  // namespace flutter
