package tq.brindlecast.openh264.mp4;

import java.io.Closeable;
import java.io.IOException;
import java.io.InputStream;
import java.nio.channels.FileChannel;
import java.nio.channels.SeekableByteChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Objects;
import java.util.Set;
import tq.brindlecast.openh264.bitstream.LengthPrefixed;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.io.TemporaryFiles;

/**
 * Reads the H.264 video track of an MP4 (ISO base media) file: progressive or fragmented, with
 * the {@code moov} box before or after the media data. Other tracks are ignored.
 *
 * <pre>{@code
 * try (Mp4Reader reader = Mp4Reader.open(Path.of("clip.mp4"));
 *     H264Decoder decoder = new H264Decoder()) {
 *   Mp4Track track = reader.videoTrack();
 *   for (int i = 0; i < track.sampleCount(); i++) {
 *     DecodedPicture picture = decoder.decode(reader.readSample(i));
 *     ...
 *   }
 *   for (DecodedPicture p; (p = decoder.drain()) != null; ) { ... }
 * }
 * }</pre>
 *
 * <p>{@link #readSample} returns a sample as an Annex B access unit, ready for {@link
 * tq.brindlecast.openh264.H264Decoder}: each NAL unit behind a start code, and the sample entry's
 * parameter sets in front of the first sample, of every sync sample and of a sample that changes
 * the sample entry, unless the sample carries its own sequence and picture parameter sets. (A
 * sample with only its own SPS still gets the entry's, in front: a PPS before the SPS it refers
 * to is refused by the decoder.)
 *
 * <p>Opening reads the boxes that describe the samples and checks them: every box lies inside its
 * parent, every sample inside the file, and the sample tables agree. Anything else is an {@link
 * Mp4FormatException} saying what is wrong. A file cut short, progressive or fragmented, reads
 * as a recording that was interrupted: the samples whose bytes are all in the file, up to the
 * first that is not; {@link Mp4Track#missingSamples()} and {@link Mp4Track#missingBytes()} say
 * what was lost.
 *
 * <p>A reader's calls are serialised; {@link #close()} closes the file or channel.
 */
public final class Mp4Reader implements Closeable {
  private static final byte[] NOTHING = {};
  private static final int OWN_SPS_AND_PPS = 3;

  private final Mp4Input input;
  private final Mp4Track track;

  private Mp4Reader(Mp4Input input) throws IOException {
    this.input = input;
    this.track = readMovie(input);
  }

  /**
   * Opens an MP4 file.
   *
   * @param file the MP4 file
   * @return the reader
   * @throws Mp4FormatException if it holds no H.264 video track that can be read
   * @throws IOException if the file cannot be read
   */
  public static Mp4Reader open(Path file) throws IOException {
    Objects.requireNonNull(file, "file must not be null");
    return open(FileChannel.open(file, StandardOpenOption.READ));
  }

  /**
   * Reads an MP4 file from a channel, which the reader closes when it is closed (also when this
   * fails).
   *
   * @param channel the channel
   * @return the reader
   * @throws Mp4FormatException if it holds no H.264 video track that can be read
   * @throws IOException if the channel cannot be read
   */
  public static Mp4Reader open(SeekableByteChannel channel) throws IOException {
    Objects.requireNonNull(channel, "channel must not be null");
    Mp4Input input = Mp4Input.of(channel);
    try {
      return new Mp4Reader(input);
    } catch (IOException | RuntimeException failure) {
      input.close();
      throw failure;
    }
  }

  /** The first box types of ISO base media files (MP4, M4V, QuickTime). */
  private static final Set<String> FIRST_BOXES =
      Set.of("ftyp", "moov", "mdat", "free", "wide", "skip", "styp", "moof");

  /**
   * Tells by a file's first bytes (8 are enough) whether it is an ISO base media file (MP4, M4V,
   * QuickTime), whose first box has one of the types such files start with, rather than, say,
   * an Annex B stream, which starts with a start code.
   *
   * @param head the file's first bytes
   * @return whether they start like an MP4 file
   */
  public static boolean startsLikeMp4(byte[] head) {
    return head.length >= 8
        && FIRST_BOXES.contains(new String(head, 4, 4, StandardCharsets.ISO_8859_1));
  }

  /**
   * Reads an MP4 file from a stream, which cannot seek: it is copied to a temporary file first,
   * which goes when the reader is closed (or the JVM stops). The stream is closed.
   *
   * @param in the stream
   * @return a reader of the file the stream holds
   * @throws Mp4FormatException if it holds no H.264 video track that can be read
   * @throws IOException if the stream cannot be read or the temporary file written
   */
  public static Mp4Reader open(InputStream in) throws IOException {
    Objects.requireNonNull(in, "in must not be null");
    Path spool = Files.createTempFile("tqh264bridge-", ".mp4");
    TemporaryFiles.deleteOnExit(spool);
    try (in) {
      Files.copy(in, spool, StandardCopyOption.REPLACE_EXISTING);
      return open(FileChannel.open(
          spool, StandardOpenOption.READ, StandardOpenOption.DELETE_ON_CLOSE));
    } catch (IOException | RuntimeException failure) {
      TemporaryFiles.delete(spool);
      throw failure;
    }
  }

  /**
   * Reads an MP4 file held in memory; the array is not copied, so leave it unchanged.
   *
   * @param file the whole file
   * @return the reader
   * @throws Mp4FormatException if it holds no H.264 video track that can be read
   */
  public static Mp4Reader of(byte[] file) throws Mp4FormatException {
    Objects.requireNonNull(file, "file must not be null");
    try {
      return new Mp4Reader(Mp4Input.of(file));
    } catch (Mp4FormatException failure) {
      throw failure;
    } catch (IOException impossible) {
      throw new IllegalStateException(impossible);
    }
  }

  /** {@return the H.264 video track} */
  public Mp4Track videoTrack() {
    return track;
  }

  /**
   * Reads a sample as an Annex B access unit.
   *
   * @param index the sample's place in decode order, from 0
   * @return a new array: start code, NAL unit, start code, NAL unit...
   * @throws IndexOutOfBoundsException if there is no such sample
   * @throws Mp4FormatException if the sample's NAL unit lengths overrun it
   * @throws IOException if the file cannot be read
   */
  public synchronized byte[] readSample(int index) throws IOException {
    Objects.checkIndex(index, track.sampleCount());
    Mp4Sample sample = track.sample(index);
    AvcSampleEntry entry = track.entry(index);
    boolean needsParameterSets =
        index == 0 || sample.sync() || track.description(index) != track.description(index - 1);
    byte[] prefix = needsParameterSets ? entry.annexBParameterSets() : NOTHING;
    int lengthSize = entry.nalLengthSize();
    byte[] unit = new byte[prefix.length + sample.size()];
    int start = prefix.length;
    input.read(sample.offset(), unit, start, sample.size());
    List<NalUnit> nals;
    try {
      nals = LengthPrefixed.nalUnits(unit, start, sample.size(), lengthSize);
    } catch (IllegalArgumentException overrun) {
      throw new Mp4FormatException("sample " + (index + 1) + " " + overrun.getMessage());
    }
    if (ownParameterSets(nals) == OWN_SPS_AND_PPS) {
      prefix = NOTHING;
    }
    if (lengthSize != 4) {
      return LengthPrefixed.toAnnexB(prefix, unit, nals);
    }
    // A four-byte length becomes a four-byte start code in place.
    LengthPrefixed.toStartCodesInPlace(unit, nals);
    if (prefix.length == 0 && start > 0) {
      return Arrays.copyOfRange(unit, start, unit.length);
    }
    System.arraycopy(prefix, 0, unit, 0, prefix.length);
    return unit;
  }

  @Override
  public synchronized void close() throws IOException {
    input.close();
  }

  /** Which kinds of parameter set the units hold: 1 for an SPS, 2 for a PPS, or-ed. */
  private static int ownParameterSets(List<NalUnit> nals) {
    int own = 0;
    for (NalUnit nal : nals) {
      own |= nal.length() == 0 ? 0
          : nal.type() == NalUnit.TYPE_SPS ? 1 : nal.type() == NalUnit.TYPE_PPS ? 2 : 0;
    }
    return own;
  }

  private static Mp4Track readMovie(Mp4Input input) throws IOException {
    long size = input.size();
    ParsedBox moov = null;
    List<BoxHeader> fragments = new ArrayList<>();
    long missingBytes = 0;
    long position = 0;
    while (position < size) {
      if (size - position < 8 && moov != null) {
        break;
      }
      BoxHeader header = BoxHeader.read(input, position);
      if (header.end() > size) {
        if (moov != null) {
          missingBytes = header.end() - size;
          break; // a cut trailing box: the samples it held are checked below
        }
        throw new Mp4FormatException(
            "the file ends inside the " + header.name() + " box at offset " + position
                + " (it claims " + (header.end() - position) + " bytes, " + (size - position)
                + " remain) before its moov box: it was cut short");
      }
      if (header.type() == BoxHeader.fourcc("moov") && moov == null) {
        moov = load(input, header);
      } else if (header.type() == BoxHeader.fourcc("moof")) {
        fragments.add(header);
      }
      position = header.end();
    }
    if (moov == null) {
      throw new Mp4FormatException(
          "the file has no moov box: it is not an MP4 file, or was cut short before its moov");
    }
    MovieBoxParser.VideoTrack video = MovieBoxParser.videoTrack(moov, size);
    for (int i = 0; i < fragments.size(); i++) {
      boolean last = i == fragments.size() - 1;
      FragmentParser.add(load(input, fragments.get(i)), video, video.samples(), last);
    }
    video.samples().setMissingBytes(missingBytes);
    if (video.samples().count() == 0) {
      long missing = video.samples().missingSamples();
      throw new Mp4FormatException(missing == 0 ? "the video track has no samples"
          : "the video track's first sample lies past the end of the file, and with it all "
              + missing + " samples: it was cut short before them");
    }
    return new Mp4Track(video, !fragments.isEmpty());
  }

  private static ParsedBox load(Mp4Input input, BoxHeader header) throws IOException {
    if (header.payloadLength() > Integer.MAX_VALUE - 16) {
      throw new Mp4FormatException(
          "the " + header.name() + " box at offset " + header.start() + " is "
              + header.payloadLength() + " bytes long, more than this reader holds in memory");
    }
    byte[] payload = new byte[(int) header.payloadLength()];
    input.read(header.payloadStart(), payload, 0, payload.length);
    return ParsedBox.of(header, payload);
  }
}
