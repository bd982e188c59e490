package tq.brindlecast.openh264.video;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Path;
import java.util.Locale;
import java.util.Objects;
import tq.brindlecast.openh264.CodecException;
import tq.brindlecast.openh264.DecodeResult;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.image.ImageConversions;
import tq.brindlecast.openh264.image.ImageOrientation;
import tq.brindlecast.openh264.image.YuvColour;
import tq.brindlecast.openh264.mp4.Mp4FormatException;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.mp4.Mp4Sample;
import tq.brindlecast.openh264.mp4.Mp4Track;
import tq.brindlecast.openh264.mp4.Orientation;

/**
 * Takes single pictures out of an MP4 file: the picture shown at a time, or the n-th picture in
 * presentation order.
 *
 * <pre>{@code
 * try (FrameGrabber grabber = FrameGrabber.open(Path.of("clip.mp4"))) {
 *   ImageIO.write(grabber.imageAt(12.5), "png", new File("frame.png"));
 * }
 * }</pre>
 *
 * <p>Each grab decodes from the last sync sample at or before the wanted picture (in decode
 * order) up to that picture, drains the decoder, and keeps the wanted picture: the pictures come
 * out of the decoder in presentation order, so the wanted one is found by its place among the
 * decoded samples' presentation times. A grab therefore costs up to one key-frame interval of
 * decoding.
 */
public final class FrameGrabber implements AutoCloseable {
  private final Mp4Reader reader;
  private final H264Decoder decoder;
  private final YuvColour colour;
  private volatile boolean applyOrientation = true;

  /**
   * Grabs pictures from an open reader, which the grabber closes when it is closed.
   *
   * @param reader the reader
   * @throws NullPointerException if {@code reader} is null
   * @throws tq.brindlecast.openh264.CodecException if no decoder could be created
   */
  public FrameGrabber(Mp4Reader reader) {
    this.reader = Objects.requireNonNull(reader, "reader must not be null");
    this.colour = StreamColour.of(reader.videoTrack());
    this.decoder = new H264Decoder();
  }

  /**
   * Opens an MP4 file for grabbing.
   *
   * @param file the MP4 file
   * @return the grabber
   * @throws Mp4FormatException if it holds no H.264 video track that can be read
   * @throws IOException if the file cannot be read
   */
  public static FrameGrabber open(Path file) throws IOException {
    Mp4Reader reader = Mp4Reader.open(file);
    try {
      return new FrameGrabber(reader);
    } catch (RuntimeException failure) {
      reader.close();
      throw failure;
    }
  }

  /**
   * {@return the matrix and range the images are converted with: the stream's SPS says, else the
   * track's {@code colr} box, else BT.601 in limited range}
   */
  public YuvColour colour() {
    return colour;
  }

  /** {@return how players turn the pictures for display, from the track's matrix} */
  public Orientation orientation() {
    return reader.videoTrack().orientation();
  }

  /**
   * Sets whether images come out turned as players show them (the default) or as decoded. The
   * pictures ({@link #picture}, {@link #pictureAt}) are always as decoded.
   *
   * @param apply true to turn images by {@link #orientation()}
   * @return this grabber
   */
  public FrameGrabber applyOrientation(boolean apply) {
    this.applyOrientation = apply;
    return this;
  }

  /** {@return the video track the pictures come from} */
  public Mp4Track track() {
    return reader.videoTrack();
  }

  /**
   * {@return the picture shown at a time}
   *
   * @param seconds the time from the start of the presentation
   * @throws IllegalArgumentException if no picture is shown then (before 0, after the end, NaN)
   * @throws Mp4FormatException if the samples cannot be read
   * @throws CodecException if the samples do not decode, with the reason when it is known
   * @throws IOException if the file cannot be read
   */
  public DecodedPicture pictureAt(double seconds) throws IOException {
    Mp4Track track = reader.videoTrack();
    // A micro-tick of tolerance, so that a time written in decimal finds the picture it names.
    int n =
        seconds >= 0 && seconds < Double.MAX_VALUE / track.timescale()
            ? track.pictureAt((long) Math.floor(seconds * track.timescale() + 1e-6))
            : -1;
    if (n < 0) {
      throw new IllegalArgumentException(String.format(Locale.ROOT,
          "no picture is shown at %.3f s: the video lasts %.3f s", seconds,
          track.toSeconds(track.duration())));
    }
    return picture(n);
  }

  /**
   * {@return the n-th picture shown}
   *
   * @param n its place in presentation order, from 0
   * @throws IndexOutOfBoundsException if there is no such picture
   * @throws Mp4FormatException if the samples cannot be read
   * @throws CodecException if the samples do not decode, with the reason when it is known
   * @throws IOException if the file cannot be read
   */
  public synchronized DecodedPicture picture(int n) throws IOException {
    Mp4Track track = reader.videoTrack();
    Mp4Sample wanted = track.picture(n);
    int last = wanted.index();
    int first = Math.max(0, track.syncSampleAtOrBefore(last));
    // The decoder hands out the pictures of samples first..last in presentation order.
    int rank = 0;
    for (int i = first; i <= last; i++) {
      Mp4Sample other = track.sample(i);
      if (other.presentationTime() < wanted.presentationTime()
          || (other.presentationTime() == wanted.presentationTime() && i < last)) {
        rank++;
      }
    }
    // A fresh OpenH264 decoder for each grab: one that was drained may have no picture buffer
    // free for the next stream.
    decoder.reconfigure(decoder.getConfig());
    Picked picked = new Picked(rank);
    String reason = null;
    for (int i = first; i <= last; i++) {
      DecodeResult result = decoder.decodeAccessUnit(reader.readSample(i));
      if (reason == null && result.failed()) {
        reason = result.reason();
      }
      picked.offer(result.picture());
    }
    while (picked.offer(decoder.drain())) {
      // until the decoder holds nothing more
    }
    int produced = picked.seen;
    DecodedPicture found = picked.picture;
    if (produced != last - first + 1 || found == null) {
      // The file was read; the codec could not turn its samples into pictures.
      throw new CodecException(
          "decoding samples " + (first + 1) + " to " + (last + 1) + " gave " + produced
              + " pictures instead of " + (last - first + 1) + ": "
              + (reason != null ? reason : "OpenH264 could not decode them"));
    }
    return found;
  }

  /**
   * {@return the picture shown at a time as an RGB image, in the stream's colours ({@link
   * #colour()}), turned as players show it unless {@link #applyOrientation} says otherwise}
   *
   * @param seconds the time from the start of the presentation
   * @throws IOException if the file cannot be read
   * @see #pictureAt(double)
   */
  public BufferedImage imageAt(double seconds) throws IOException {
    return toImage(pictureAt(seconds));
  }

  /**
   * {@return the n-th picture shown as an RGB image, in the stream's colours ({@link
   * #colour()}), turned as players show it unless {@link #applyOrientation} says otherwise}
   *
   * @param n the place in presentation order, from 0
   * @throws IOException if the file cannot be read
   * @see #picture(int)
   */
  public BufferedImage image(int n) throws IOException {
    return toImage(picture(n));
  }

  private BufferedImage toImage(DecodedPicture picture) {
    BufferedImage image = ImageConversions.toImage(picture, colour);
    Orientation orientation = orientation();
    return applyOrientation
        ? ImageOrientation.apply(image, orientation.degrees(), orientation.mirrored())
        : image;
  }

  /** Counts the decoder's pictures and keeps the one at the wanted place. */
  private static final class Picked {
    private final int wanted;
    private int seen;
    private DecodedPicture picture;

    Picked(int wanted) {
      this.wanted = wanted;
    }

    boolean offer(DecodedPicture next) {
      if (next == null) {
        return false;
      }
      if (seen++ == wanted) {
        picture = next;
      }
      return true;
    }
  }

  /** Frees the decoder and closes the reader. */
  @Override
  public synchronized void close() throws IOException {
    try (reader) {
      decoder.close();
    }
  }
}
