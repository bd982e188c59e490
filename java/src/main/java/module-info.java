/**
 * H.264 encoding and decoding with OpenH264 through JNI, in layers that depend downwards only:
 *
 * <ul>
 *   <li>{@code tq.brindlecast.openh264.bitstream}: H.264 byte streams without a codec (Annex B,
 *       NAL units, parameter sets, access units);
 *   <li>{@code tq.brindlecast.openh264}: the codec, {@link tq.brindlecast.openh264.H264Encoder}
 *       and {@link tq.brindlecast.openh264.H264Decoder}, the picture types, the configuration
 *       classes and the low-level {@link tq.brindlecast.openh264.Native} entry points;
 *   <li>{@code tq.brindlecast.openh264.mp4}: MP4 reading and writing, on the bit stream only;
 *   <li>{@code tq.brindlecast.openh264.image}: {@code BufferedImage} to and from I420;
 *   <li>{@code tq.brindlecast.openh264.video}: pictures to video and video to pictures.
 * </ul>
 *
 * <p>The command-line tool in {@code tq.brindlecast.openh264.tool} is the jar's main class and is
 * not exported.
 */
// Named after its package, terminal digits included.
@SuppressWarnings("module")
module tq.brindlecast.openh264 {
  // Only ImageConversions needs AWT: java.desktop is optional at run time (the codec classes work
  // without it) and, where present, read by modules that read this one, for ImageConversions'
  // BufferedImage signatures.
  requires static transitive java.desktop;

  exports tq.brindlecast.openh264;
  exports tq.brindlecast.openh264.bitstream;
  exports tq.brindlecast.openh264.image;
  exports tq.brindlecast.openh264.mp4;
  exports tq.brindlecast.openh264.video;
}
