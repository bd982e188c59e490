package tq.brindlecast.openh264.mp4;

import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.util.Arrays;

/**
 * A fragmented MP4 on a stream that cannot seek: {@code ftyp} and an empty {@code moov} first,
 * then a {@code moof} and {@code mdat} per GOP, each written and flushed as soon as the GOP ends.
 * A GOP of more than {@link #MAX_FRAGMENT_BYTES} is split, so that memory stays bounded when IDR
 * pictures are rare.
 *
 * <p>The stream ends with an {@code mfra} box listing the fragments, which readers find from the
 * end of a file. When the stream is a {@link FileOutputStream} on a file that can seek, the
 * movie's whole length goes into an {@code mehd} box in the {@code moov} once it is known.
 */
final class FragmentedMp4Layout implements Mp4Writer.Layout {
  static final int MAX_FRAGMENT_BYTES = 32 << 20;

  private final OutputStream out;
  private final Mp4WriterSamples samples = new Mp4WriterSamples();
  private final Mp4BoxBuilder media = new Mp4BoxBuilder();
  private final Mp4BoxBuilder header = new Mp4BoxBuilder();
  private final FileChannel seekable;
  private final long streamStart;
  private int sequence;
  private long decodeTime;
  private long written;
  private long mehdPlace = -1;
  // Decode time and output offset of each fragment that starts with a sync sample.
  private long[] syncTimes = new long[16];
  private long[] syncOffsets = new long[16];
  private int syncFragments;
  private boolean fragmentStartsWithSync;

  FragmentedMp4Layout(OutputStream out) {
    this.out = out;
    FileChannel channel = out instanceof FileOutputStream file ? file.getChannel() : null;
    long start = -1;
    if (channel != null) {
      try {
        start = channel.position(); // a pipe cannot tell, and cannot be patched
      } catch (IOException notSeekable) {
        channel = null;
      }
    }
    this.seekable = channel;
    this.streamStart = start;
  }

  @Override
  public void start(Mp4WriterFormat format) throws IOException {
    header.clear();
    Mp4WriterBoxes.ftyp(header, true);
    mehdPlace = Mp4WriterBoxes.moov(header, format, null, 0, true);
    emit(header);
  }

  private void emit(Mp4BoxBuilder box) throws IOException {
    out.write(box.array(), 0, box.size());
    written += box.size();
  }

  @Override
  public void add(byte[] data, int size, long duration, boolean sync) throws IOException {
    if (samples.count() > 0 && media.size() + (long) size > MAX_FRAGMENT_BYTES) {
      groupEnds();
    }
    if (samples.count() == 0) {
      fragmentStartsWithSync = sync;
    }
    samples.add(size, duration, sync, media.size());
    media.bytes(data, 0, size);
  }

  @Override
  public void groupEnds() throws IOException {
    if (samples.count() == 0) {
      return;
    }
    if (fragmentStartsWithSync) {
      recordSyncFragment();
    }
    header.clear();
    Mp4WriterBoxes.moof(header, ++sequence, decodeTime, samples);
    Mp4WriterBoxes.mdatHeader(header, media.size());
    emit(header);
    emit(media);
    out.flush();
    decodeTime += samples.totalDuration();
    samples.clear();
    media.clear();
  }

  private void recordSyncFragment() {
    if (syncFragments == syncTimes.length) {
      syncTimes = Arrays.copyOf(syncTimes, syncFragments * 2);
      syncOffsets = Arrays.copyOf(syncOffsets, syncFragments * 2);
    }
    syncTimes[syncFragments] = decodeTime;
    syncOffsets[syncFragments] = written;
    syncFragments++;
  }

  @Override
  public void finish(Mp4WriterFormat format) throws IOException {
    try {
      groupEnds();
      if (format != null) {
        header.clear();
        Mp4WriterBoxes.mfra(header, syncTimes, syncOffsets, syncFragments);
        emit(header);
        out.flush();
        writeMehd();
      }
    } finally {
      out.close();
    }
    if (format == null) {
      throw new IOException("no picture was written: the stream holds no MP4");
    }
  }

  /** Turns the {@code free} box in the {@code moov} into an {@code mehd} with the length. */
  private void writeMehd() throws IOException {
    if (seekable == null || mehdPlace < 0) {
      return;
    }
    header.clear();
    Mp4WriterBoxes.mehd(header, decodeTime);
    ByteBuffer box = ByteBuffer.wrap(header.array(), 0, header.size());
    long at = streamStart + mehdPlace;
    long size = seekable.size();
    while (box.hasRemaining()) {
      at += seekable.write(box, at);
    }
    if (seekable.size() != size) {
      seekable.truncate(size); // opened to append: the box went to the end, not into place
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
