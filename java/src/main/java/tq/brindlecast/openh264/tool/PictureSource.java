package tq.brindlecast.openh264.tool;

import java.io.Closeable;
import java.io.IOException;
import tq.brindlecast.openh264.I420Picture;

/** Where the pictures to encode come from: a Y4M file, a raw I420 file or the test pattern. */
interface PictureSource extends Closeable {
  /** The size, frame rate and number of the pictures. */
  PictureFormat format();

  /** The picture width in pixels. */
  default int width() {
    return format().width();
  }

  /** The picture height in pixels. */
  default int height() {
    return format().height();
  }

  /** The frame rate in pictures per second. */
  default double fps() {
    return format().fps();
  }

  /** The number of pictures, or -1 when not known in advance. */
  default int count() {
    return format().count();
  }

  /** A few words for the summary, e.g. "clip.y4m". */
  String description();

  /** What the tool should warn about, e.g. header fields it cannot honour. */
  default java.util.List<String> warnings() {
    return java.util.List.of();
  }

  /** The next picture in a new array, or null at the end. */
  I420Picture next() throws IOException;

  @Override
  default void close() throws IOException {}
}
