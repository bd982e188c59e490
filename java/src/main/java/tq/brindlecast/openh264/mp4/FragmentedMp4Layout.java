package tq.brindlecast.openh264.mp4;

import java.io.IOException;
import java.io.OutputStream;

/**
 * A fragmented MP4 on a stream that cannot seek: {@code ftyp} and an empty {@code moov} first,
 * then a {@code moof} and {@code mdat} per GOP, each written and flushed as soon as the GOP ends.
 * A GOP of more than {@link #MAX_FRAGMENT_BYTES} is split, so that memory stays bounded when IDR
 * pictures are rare.
 */
final class FragmentedMp4Layout implements Mp4Writer.Layout {
  static final int MAX_FRAGMENT_BYTES = 32 << 20;

  private final OutputStream out;
  private final Mp4WriterSamples samples = new Mp4WriterSamples();
  private final Mp4BoxBuilder media = new Mp4BoxBuilder();
  private final Mp4BoxBuilder header = new Mp4BoxBuilder();
  private int sequence;
  private long decodeTime;

  FragmentedMp4Layout(OutputStream out) {
    this.out = out;
  }

  @Override
  public void start(Mp4WriterFormat format) throws IOException {
    header.clear();
    Mp4WriterBoxes.ftyp(header, true);
    Mp4WriterBoxes.moov(header, format, null, 0, true);
    out.write(header.array(), 0, header.size());
  }

  @Override
  public void add(byte[] data, int size, long duration, boolean sync) throws IOException {
    if (samples.count() > 0 && media.size() + (long) size > MAX_FRAGMENT_BYTES) {
      groupEnds();
    }
    samples.add(size, duration, sync, media.size());
    media.bytes(data, 0, size);
  }

  @Override
  public void groupEnds() throws IOException {
    if (samples.count() == 0) {
      return;
    }
    header.clear();
    Mp4WriterBoxes.moof(header, ++sequence, decodeTime, samples);
    Mp4WriterBoxes.mdatHeader(header, media.size());
    out.write(header.array(), 0, header.size());
    out.write(media.array(), 0, media.size());
    out.flush();
    decodeTime += samples.totalDuration();
    samples.clear();
    media.clear();
  }

  @Override
  public void finish(Mp4WriterFormat format) throws IOException {
    try {
      groupEnds();
    } finally {
      out.close();
    }
    if (format == null) {
      throw new IOException("no picture was written: the stream holds no MP4");
    }
  }

  @Override
  public void abandon() {
    try {
      out.close();
    } catch (IOException ignored) {
      // Already failing.
    }
  }
}
