// How many bytes of an array a picture plane takes, and whether it fits.
// The encoder checks Java's input planes with it; the decoder sizes the
// planes it returns with it.
#ifndef TQ_BRIDGE_PLANE_EXTENT_H
#define TQ_BRIDGE_PLANE_EXTENT_H

#include <stdint.h>

namespace tq {

// Bytes from the array's start to the end of a plane of `rows` rows of
// `rowBytes` bytes, `stride` bytes apart, starting at `offset`: the last row
// needs only its own bytes. In 64 bits, so no product of 32-bit values
// overflows.
inline int64_t PlaneEnd(int64_t offset, int64_t stride, int64_t rows, int64_t rowBytes) {
  return rows < 1 ? offset : offset + stride * (rows - 1) + rowBytes;
}

// Rows apart by at least their width, starting inside the array.
inline bool PlaneShapeValid(int64_t offset, int64_t stride, int64_t rowBytes) {
  return stride >= rowBytes && offset >= 0;
}

// True when such a plane has a valid shape and lies inside an array of
// `length` bytes (a negative length stands for no array).
inline bool PlaneFits(int64_t length, int64_t offset, int64_t stride, int64_t rows,
                      int64_t rowBytes) {
  return PlaneShapeValid(offset, stride, rowBytes) && length >= 0 &&
         PlaneEnd(offset, stride, rows, rowBytes) <= length;
}

}  // namespace tq

#endif
