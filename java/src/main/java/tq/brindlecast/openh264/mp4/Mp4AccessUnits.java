package tq.brindlecast.openh264.mp4;

import java.io.IOException;
import java.util.Objects;
import tq.brindlecast.openh264.bitstream.AccessUnit;
import tq.brindlecast.openh264.bitstream.AccessUnitSource;

/**
 * The samples of an MP4 file's video track as access units, in decode order, with their times
 * from the sample tables and the edit list (a sample the edit list leaves out has a negative
 * presentation time), and the sync samples as key frames.
 */
public final class Mp4AccessUnits implements AccessUnitSource {
  private final Mp4Reader reader;
  private final Mp4Track track;
  private int index;
  private long bytes;

  /** @param reader the file; closed by {@link #close()} */
  public Mp4AccessUnits(Mp4Reader reader) {
    this.reader = Objects.requireNonNull(reader, "reader must not be null");
    this.track = reader.videoTrack();
  }

  @Override
  public AccessUnit next() throws IOException {
    if (index == track.sampleCount()) {
      return null;
    }
    Mp4Sample sample = track.sample(index);
    byte[] data = reader.readSample(index++);
    bytes += sample.size();
    return new AccessUnit(data, micros(sample.decodeTime()), micros(sample.presentationTime()),
        sample.sync());
  }

  private long micros(long ticks) {
    return Math.round(track.toSeconds(ticks) * 1e6);
  }

  @Override
  public long bytesRead() {
    return bytes;
  }

  @Override
  public void close() throws IOException {
    reader.close();
  }
}
