/** A program that encodes and decodes a few pictures through the library's module. */
@SuppressWarnings("module")
module tq.brindlecast.openh264.smoke {
  requires tq.brindlecast.openh264;
}
