package tq.brindlecast.openh264.tool;

import java.io.BufferedInputStream;
import java.io.IOException;
import java.io.InputStream;
import tq.brindlecast.openh264.I420Picture;

/** Reads packed I420 pictures of a known size back to back, with no header. */
final class RawI420Reader implements PictureSource {
  private final InputStream in;
  private final String name;
  private final PictureFormat format;
  private final int frameSize;
  private int index;

  RawI420Reader(InputStream in, String name, int width, int height, double fps) {
    this.in = new BufferedInputStream(in, 1 << 16);
    this.name = name;
    this.format = new PictureFormat(width, height, fps, -1);
    this.frameSize = I420Picture.packedSize(width, height);
  }

  @Override
  public PictureFormat format() {
    return format;
  }

  @Override
  public String description() {
    return name + " (raw I420)";
  }

  @Override
  public I420Picture next() throws IOException {
    byte[] data = in.readNBytes(frameSize);
    if (data.length == 0) {
      return null;
    }
    if (data.length < frameSize) {
      throw new IOException(
          name + " ends inside picture " + (index + 1) + ": " + data.length + " of " + frameSize
              + " bytes for " + format.width() + "x" + format.height() + " I420; is --size right?");
    }
    index++;
    return I420Picture.fromPacked(data, format.width(), format.height());
  }

  @Override
  public void close() throws IOException {
    in.close();
  }
}
