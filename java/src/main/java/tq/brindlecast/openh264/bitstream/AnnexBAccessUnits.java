package tq.brindlecast.openh264.bitstream;

import java.io.IOException;
import java.util.Objects;

/**
 * The access units of an Annex B stream, cut by an {@link AccessUnitReader}. A raw stream has no
 * time stamps: the units follow each other at the frame rate its first SPS gives in its timing
 * information, else at the rate given here, and are shown in the order the decoder gives.
 */
public final class AnnexBAccessUnits implements AccessUnitSource {
  /** The frame rate of a stream that says none and is given none. */
  public static final double DEFAULT_FRAME_RATE = 30;

  private final AccessUnitReader reader;
  private final double givenRate;
  private double frameRate;
  private int index;

  /**
   * @param reader the stream's access units; closed by {@link #close()}
   * @param frameRate pictures per second for a stream whose SPS gives no timing, or 0 for
   *     {@link #DEFAULT_FRAME_RATE}
   */
  public AnnexBAccessUnits(AccessUnitReader reader, double frameRate) {
    this.reader = Objects.requireNonNull(reader, "reader must not be null");
    this.givenRate = frameRate > 0 ? frameRate : DEFAULT_FRAME_RATE;
  }

  @Override
  public AccessUnit next() throws IOException {
    byte[] data = reader.nextAccessUnit();
    if (data == null) {
      return null;
    }
    boolean key = false;
    for (NalUnit unit : AnnexB.nalUnits(data)) {
      if (frameRate == 0 && unit.type() == NalUnit.TYPE_SPS) {
        frameRate = rateOf(data, unit);
      }
      key |= unit.type() == NalUnit.TYPE_IDR;
    }
    double rate = frameRate > 0 ? frameRate : givenRate;
    long time = Math.round(index++ * 1e6 / rate);
    return new AccessUnit(data, time, time, key);
  }

  /** The SPS's frame rate, or the given one when it has none or cannot be read. */
  private double rateOf(byte[] data, NalUnit sps) {
    try {
      double rate = SequenceParameterSet.parse(data, sps.offset(), sps.length()).frameRate();
      return rate > 0 && rate <= 1000 ? rate : givenRate;
    } catch (IllegalArgumentException unreadable) {
      return givenRate; // the decoder says what is wrong with it
    }
  }

  @Override
  public long bytesRead() {
    return reader.bytesRead();
  }

  @Override
  public void close() throws IOException {
    reader.close();
  }
}
