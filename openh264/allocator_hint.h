// A hint to glibc's allocator, given once OpenH264 is loaded, so that the
// buffers a codec frees are kept for the next codec instead of being handed
// back to the system and faulted in again page by page.
#ifndef TQ_OPENH264_ALLOCATOR_HINT_H
#define TQ_OPENH264_ALLOCATOR_HINT_H

namespace tq {

// Raises glibc's mmap and trim thresholds to codec size, unless `setting`
// (the value of TQ_OPENH264_MALLOC_HINT) is "off". Returns whether it did;
// false as well where the C library is not glibc.
bool PrepareAllocatorForCodecs(const char* setting);

}  // namespace tq

#endif
