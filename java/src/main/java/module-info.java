/**
 * H.264 encoding and decoding with OpenH264 through JNI: {@link tq.brindlecast.openh264.H264Encoder}
 * and {@link tq.brindlecast.openh264.H264Decoder}, the picture types, the configuration classes,
 * the low-level {@link tq.brindlecast.openh264.Native} entry points, and MP4 reading and writing in
 * {@code tq.brindlecast.openh264.mp4}. The command-line tool in
 * {@code tq.brindlecast.openh264.tool} is the jar's main class and is not exported.
 */
// Named after its package, terminal digits included.
@SuppressWarnings("module")
module tq.brindlecast.openh264 {
  // Only ImageConversions needs AWT: java.desktop is optional at run time (the codec classes work
  // without it) and, where present, read by modules that read this one, for ImageConversions'
  // BufferedImage signatures.
  requires static transitive java.desktop;

  exports tq.brindlecast.openh264;
  exports tq.brindlecast.openh264.mp4;
}
