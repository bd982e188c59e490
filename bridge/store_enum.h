// Storing an int from Java in an OpenH264 enum field.
#ifndef TQ_BRIDGE_STORE_ENUM_H
#define TQ_BRIDGE_STORE_ENUM_H

#include <stdint.h>
#include <string.h>

namespace tq {

// Java may hand any int. A cast to an enum whose range lacks the value is
// undefined; copying the bits keeps it defined, and OpenH264 judges it.
template <typename Enum>
void StoreEnum(Enum* field, int32_t value) {
  static_assert(sizeof(Enum) == sizeof(int32_t), "OpenH264 enums are int-sized");
  memcpy(field, &value, sizeof value);
}

}  // namespace tq

#endif
