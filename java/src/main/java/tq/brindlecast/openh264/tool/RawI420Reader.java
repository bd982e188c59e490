package tq.brindlecast.openh264.tool;

import java.io.BufferedInputStream;
import java.io.IOException;
import java.io.InputStream;
import tq.brindlecast.openh264.I420Picture;

/** Reads packed I420 pictures of a known size back to back, with no header. */
final class RawI420Reader implements PictureSource {
  private final InputStream in;
  private final String name;
  private final int width;
  private final int height;
  private final double fps;
  private final int frameSize;
  private int index;

  RawI420Reader(InputStream in, String name, int width, int height, double fps) {
    this.in = new BufferedInputStream(in, 1 << 16);
    this.name = name;
    this.width = width;
    this.height = height;
    this.fps = fps;
    this.frameSize = I420Picture.packedSize(width, height);
  }

  @Override
  public int width() {
    return width;
  }

  @Override
  public int height() {
    return height;
  }

  @Override
  public double fps() {
    return fps;
  }

  @Override
  public int count() {
    return -1;
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
              + " bytes for " + width + "x" + height + " I420; is --size right?");
    }
    index++;
    return I420Picture.fromPacked(data, width, height);
  }

  @Override
  public void close() throws IOException {
    in.close();
  }
}
