package tq.brindlecast.openh264.video;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import java.util.Objects;
import java.util.concurrent.atomic.AtomicLong;
import java.util.function.Function;
import tq.brindlecast.openh264.CodecException;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.image.ImageConversions;
import tq.brindlecast.openh264.image.ImageOrientation;
import tq.brindlecast.openh264.image.YuvColour;
import tq.brindlecast.openh264.mp4.Mp4FormatException;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.mp4.Mp4Track;
import tq.brindlecast.openh264.mp4.Orientation;

/**
 * Takes single pictures out of an MP4 file: the picture shown at a time, or the n-th picture in
 * presentation order.
 *
 * <pre>{@code
 * try (FrameGrabber grabber = FrameGrabber.open(Path.of("clip.mp4"))) {
 *   ImageIO.write(grabber.imageAt(12.5), "png", new File("frame.png"));
 *   grabber.imagesAt(new double[] {0, 10, 20, 30}, FrameGrabber.Seek.PRECISE,
 *       (i, image) -> ImageIO.write(image, "png", new File("thumb" + i + ".png")));
 * }
 * }</pre>
 *
 * <p>A picture costs decoding from the last sync sample at or before it (in decode order) up to
 * it: at most one key-frame interval. Grabs with rising times go on from where the decoder is
 * while the next picture lies ahead in the same key-frame interval, so that no sample is decoded
 * twice; any other grab starts again at the key frame. {@link #imagesAt(double[], Seek,
 * ImageSink)} takes many times at once and decodes their key-frame intervals side by side, one
 * decoder per processor. A loop asking one picture at a time with a steady rising step (say one
 * a second) comes close: with more than one processor, the pictures the next steps will want are
 * grabbed ahead, and made into images when images are asked for, on one decoder and thread per
 * processor (at most four), while the loop's own thread writes out the last. Times rounded to a
 * few decimals (0.3333, 0.6667) are foreseen too. {@link Seek#KEY_FRAME} decodes the key frame
 * alone, the fastest grab.
 *
 * <p>Every way gives the same pixels for the same picture.
 */
public final class FrameGrabber implements AutoCloseable {
  /** How a time or place is turned into a picture. */
  public enum Seek {
    /** The very picture asked for, decoded from the key frame before it. */
    PRECISE,
    /**
     * The key frame the precise picture is decoded from, at or before it: only that sample is
     * decoded.
     */
    KEY_FRAME
  }

  /** Takes the images of {@link #imagesAt(double[], Seek, ImageSink)} as they are made. */
  @FunctionalInterface
  public interface ImageSink {
    /**
     * Takes one image. It is called from several threads at once, in no particular order.
     *
     * @param index the place of its time in the array asked for
     * @param image the image; a picture asked for at several places is the same image each time
     * @throws IOException to stop the grabbing with this failure
     */
    void accept(int index, BufferedImage image) throws IOException;
  }

  private final Mp4Reader reader;
  private final YuvColour colour;
  // Turns a decoded picture into an image as the grabber is set to: a new one when that changes.
  private volatile Function<DecodedPicture, BufferedImage> imageMaker = imageMaker(true);
  private final AtomicLong samplesDecoded = new AtomicLong();
  private final GrabsOneByOne grabs;

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
    this.grabs = new GrabsOneByOne(reader, samplesDecoded);
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
    this.imageMaker = imageMaker(apply);
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
    return pictureAt(seconds, Seek.PRECISE);
  }

  /**
   * {@return the picture shown at a time, or the key frame at or before it}
   *
   * @param seconds the time from the start of the presentation
   * @param seek the picture itself, or the key frame before it
   * @throws IllegalArgumentException if no picture is shown then (before 0, after the end, NaN)
   * @throws NullPointerException if {@code seek} is null
   * @throws Mp4FormatException if the samples cannot be read
   * @throws CodecException if the samples do not decode, with the reason when it is known
   * @throws IOException if the file cannot be read
   */
  public synchronized DecodedPicture pictureAt(double seconds, Seek seek) throws IOException {
    Objects.requireNonNull(seek, "seek must not be null");
    return (DecodedPicture) grabs.grab(pictureNumberAt(seconds), seek, seconds, true, null);
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
  public DecodedPicture picture(int n) throws IOException {
    return picture(n, Seek.PRECISE);
  }

  /**
   * {@return the n-th picture shown, or the key frame at or before it}
   *
   * @param n its place in presentation order, from 0
   * @param seek the picture itself, or the key frame before it
   * @throws IndexOutOfBoundsException if there is no such picture
   * @throws NullPointerException if {@code seek} is null
   * @throws Mp4FormatException if the samples cannot be read
   * @throws CodecException if the samples do not decode, with the reason when it is known
   * @throws IOException if the file cannot be read
   */
  public synchronized DecodedPicture picture(int n, Seek seek) throws IOException {
    Objects.requireNonNull(seek, "seek must not be null");
    return (DecodedPicture) grabs.grab(n, seek, n, false, null);
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
    return imageAt(seconds, Seek.PRECISE);
  }

  /**
   * {@return the picture shown at a time, or the key frame at or before it, as an RGB image in
   * the stream's colours ({@link #colour()})}
   *
   * @param seconds the time from the start of the presentation
   * @param seek the picture itself, or the key frame before it
   * @throws IOException if the file cannot be read
   * @see #pictureAt(double, Seek)
   */
  public synchronized BufferedImage imageAt(double seconds, Seek seek) throws IOException {
    Objects.requireNonNull(seek, "seek must not be null");
    return (BufferedImage) grabs.grab(pictureNumberAt(seconds), seek, seconds, true, imageMaker);
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
    return image(n, Seek.PRECISE);
  }

  /**
   * {@return the n-th picture shown, or the key frame at or before it, as an RGB image in the
   * stream's colours ({@link #colour()})}
   *
   * @param n the place in presentation order, from 0
   * @param seek the picture itself, or the key frame before it
   * @throws IOException if the file cannot be read
   * @see #picture(int, Seek)
   */
  public synchronized BufferedImage image(int n, Seek seek) throws IOException {
    Objects.requireNonNull(seek, "seek must not be null");
    return (BufferedImage) grabs.grab(n, seek, n, false, imageMaker);
  }

  /**
   * {@return the pictures shown at many times as RGB images, in the order of the times} They are
   * decoded as {@link #imagesAt(double[], Seek, ImageSink)} does; all of them are held in
   * memory, so for many pictures prefer that method.
   *
   * @param seek the pictures themselves, or the key frames before them
   * @param seconds the times from the start of the presentation, in any order
   * @throws IllegalArgumentException if no picture is shown at one of the times
   * @throws IOException if the file cannot be read
   */
  public List<BufferedImage> imagesAt(Seek seek, double... seconds) throws IOException {
    BufferedImage[] images = new BufferedImage[seconds.length];
    imagesAt(seconds, seek, (index, image) -> images[index] = image);
    return Arrays.asList(images);
  }

  /**
   * Grabs the pictures shown at many times and hands each to a sink as soon as it is made,
   * decoding the key-frame intervals side by side: one decoder per available processor, each
   * decoding a sample at most once. Times may come in any order and more than once. Every time is
   * checked before anything is decoded.
   *
   * @param seconds the times from the start of the presentation
   * @param seek the pictures themselves, or the key frames before them
   * @param sink takes the images, from several threads at once
   * @throws IllegalArgumentException if no picture is shown at one of the times
   * @throws NullPointerException if an argument is null
   * @throws Mp4FormatException if the samples cannot be read
   * @throws CodecException if the samples do not decode, with the reason when it is known
   * @throws IOException if the file cannot be read, or the sink failed
   */
  public void imagesAt(double[] seconds, Seek seek, ImageSink sink) throws IOException {
    Objects.requireNonNull(seek, "seek must not be null");
    Objects.requireNonNull(sink, "sink must not be null");
    int[] samples = new int[seconds.length];
    for (int i = 0; i < seconds.length; i++) {
      samples[i] = track().picture(pictureNumberAt(seconds[i])).index();
    }
    GrabBatch.run(reader, samplesDecoded, samples, seek,
        (requests, picture) -> {
          BufferedImage image = imageMaker.apply(picture);
          for (int index : requests) {
            sink.accept(index, image);
          }
        });
  }

  /** {@return how many samples the grabber has decoded, for tests} */
  long samplesDecoded() {
    return samplesDecoded.get();
  }

  /** {@return how many pictures asked for one by one were grabbed ahead, for tests} */
  synchronized long picturesTakenAhead() {
    return grabs.picturesTakenAhead();
  }

  /** The one place a decoded picture becomes an image: converted, then turned if asked. */
  private Function<DecodedPicture, BufferedImage> imageMaker(boolean applyOrientation) {
    return picture -> {
      BufferedImage image = ImageConversions.toImage(picture, colour);
      Orientation orientation = orientation();
      return applyOrientation
          ? ImageOrientation.apply(image, orientation.degrees(), orientation.mirrored())
          : image;
    };
  }

  private int pictureNumberAt(double seconds) {
    Mp4Track track = reader.videoTrack();
    int n = RequestPace.pictureShownAt(track, seconds);
    if (n < 0) {
      throw new IllegalArgumentException(String.format(Locale.ROOT,
          "no picture is shown at %.3f s: the video lasts %.3f s", seconds,
          track.toSeconds(track.duration())));
    }
    return n;
  }

  /** Stops any grabbing ahead, frees the decoders and closes the reader. */
  @Override
  public synchronized void close() throws IOException {
    try (reader) {
      grabs.close();
    }
  }
}
