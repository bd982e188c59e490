package tq.brindlecast.openh264.mp4;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;
import static tq.brindlecast.openh264.mp4.Mp4TestFiles.cat;

import java.awt.image.BufferedImage;
import java.awt.image.DataBufferInt;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashSet;
import java.util.List;
import java.util.Locale;
import java.util.Random;
import java.util.Set;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import tq.brindlecast.openh264.CodecException;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.OpenH264Release;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.image.ImageConversions;
import tq.brindlecast.openh264.video.Picture;
import tq.brindlecast.openh264.video.StreamDecoder;
import tq.brindlecast.openh264.video.VideoReader;
import tq.brindlecast.openh264.video.FrameGrabber;
import tq.brindlecast.openh264.video.FrameGrabber.Seek;
import tq.brindlecast.openh264.video.GrabberCounts;

/** MP4 files that ffmpeg writes, read here and compared with what ffprobe and ffmpeg see. */
class Mp4ReaderPeerTest {
  private static Path dir;

  @BeforeAll
  static void workDir() throws Exception {
    dir = FfmpegTool.workDir("mp4-reader");
  }

  /** name, the file, its codec, whether it has B-frames, whether it is fragmented. */
  static Stream<Arguments> ffmpegFiles() throws Exception {
    Path folder = FfmpegTool.workDir("mp4-reader");
    // Without weighted P prediction, which OpenH264 1.7.0 decodes off by one: the reader is
    // under test here, so every release must give ffmpeg's pictures.
    String[] x264 = {"-c:v", "libx264", "-g", "10", "-weightp", "0"};
    // Without B-pyramid and weighted B prediction, where OpenH264 strays furthest from ffmpeg.
    String[] bFrames = cat(x264, "-bf", "3", "-x264-params", "b-pyramid=none:weightb=0");
    Path plain = Mp4TestFiles.ffmpeg(folder, "moov-at-end", cat(x264, "-bf", "0"));
    Path gop30 = Mp4TestFiles.ffmpeg(folder, "gop30", "-c:v", "libx264", "-bf", "0", "-g", "30",
        "-weightp", "0");
    Path edited = folder.resolve("edit-list.mp4");
    FfmpegTool.run("-loglevel", "error", "-ss", "0.5", "-i", gop30.toString(), "-c", "copy",
        edited.toString());
    Path co64 = folder.resolve("co64.mp4");
    Files.write(co64, Mp4TestFiles.withCo64(Files.readAllBytes(plain)));
    Path stz2 = folder.resolve("stz2.mp4");
    Files.write(stz2, Mp4TestFiles.withStz2(Files.readAllBytes(plain)));
    Path inBand = Mp4TestFiles.ffmpeg(folder, "avc3-in-band",
        cat(x264, "-bf", "0", "-tag:v", "avc3", "-x264-params", "repeat-headers=1"));
    Path spsInBand = folder.resolve("sps-in-band-pps-in-avcC.mp4");
    Files.write(spsInBand, Mp4TestFiles.withoutInBandPps(Files.readAllBytes(inBand)));
    // QuickTime: brand "qt  ", a wide box, AAC behind a version-1 sound description.
    Path quickTime = Mp4TestFiles.ffmpeg(folder, "quicktime",
        cat(new String[] {"-f", "lavfi", "-i", "sine=duration=3"},
            cat(x264, "-bf", "0", "-c:a", "aac", "-f", "mov")));
    Path terminated = folder.resolve("quicktime-terminator.mov");
    Files.write(terminated, Mp4TestFiles.withSampleEntryTerminator(Files.readAllBytes(quickTime)));
    Path shortLengths = folder.resolve("two-byte-lengths.mp4");
    Files.write(shortLengths, Mp4TestFiles.withTwoByteLengths(Files.readAllBytes(plain)));
    return Stream.of(
        Arguments.of("faststart", Mp4TestFiles.ffmpeg(folder, "faststart",
            cat(x264, "-bf", "0", "-movflags", "+faststart")), "avc1", false, false),
        Arguments.of("moov-at-end", plain, "avc1", false, false),
        Arguments.of("fragmented", Mp4TestFiles.ffmpeg(folder, "fragmented",
            cat(x264, "-bf", "0", "-movflags", "frag_keyframe+empty_moov")), "avc1", false, true),
        Arguments.of("with-audio", Mp4TestFiles.ffmpeg(folder, "with-audio",
            cat(new String[] {"-f", "lavfi", "-i", "sine=duration=3"},
                cat(x264, "-bf", "0", "-c:a", "aac"))), "avc1", false, false),
        // The audio's traf comes first, and no tfhd gives a base: the video's data starts
        // where the audio's ends.
        Arguments.of("fragmented-audio-first", Mp4TestFiles.ffmpeg(folder, "audio-first",
            cat(new String[] {"-f", "lavfi", "-i", "sine=duration=3", "-map", "1:a", "-map",
                "0:v"}, cat(x264, "-bf", "0", "-c:a", "aac", "-t", "1.3333", "-movflags",
                "frag_keyframe+empty_moov+omit_tfhd_offset"))), "avc1", false, true),
        Arguments.of("b-frames", Mp4TestFiles.ffmpeg(folder, "b-frames",
            bFrames), "avc1", true, false),
        Arguments.of("b-frames-fragmented", Mp4TestFiles.ffmpeg(folder, "b-frames-fragmented",
            cat(bFrames, "-movflags", "frag_keyframe+empty_moov")), "avc1", true, true),
        Arguments.of("b-frames-ctts-v1", Mp4TestFiles.ffmpeg(folder, "b-frames-ctts-v1",
            cat(bFrames, "-movflags", "negative_cts_offsets")), "avc1", true, false),
        // A B-frame referred to: the last picture of an interval is held back until the IDR.
        Arguments.of("b-pyramid", Mp4TestFiles.ffmpeg(folder, "b-pyramid-unweighted",
            cat(x264, "-bf", "3", "-x264-params", "b-pyramid=normal:weightb=0")), "avc1", true,
            false),
        Arguments.of("edit-list", edited, "avc1", false, false),
        Arguments.of("avc3", Mp4TestFiles.ffmpeg(folder, "avc3",
            cat(x264, "-bf", "0", "-tag:v", "avc3")), "avc3", false, false),
        Arguments.of("avc3-in-band-parameter-sets", inBand, "avc3", false, false),
        Arguments.of("sps-in-band-pps-in-avcC", spsInBand, "avc3", false, false),
        Arguments.of("co64", co64, "avc1", false, false),
        Arguments.of("stz2", stz2, "avc1", false, false),
        Arguments.of("two-byte-nal-lengths", shortLengths, "avc1", false, false),
        Arguments.of("quicktime", quickTime, "avc1", false, false),
        Arguments.of("quicktime-sample-entry-terminator", terminated, "avc1", false, false));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("ffmpegFiles")
  @Tag("release-matrix")
  void readsWhatFfmpegWrites(
      String name, Path mp4, String codec, boolean bFrames, boolean fragmented) throws Exception {
    List<double[]> packets = Mp4TestFiles.probePackets(mp4);
    List<byte[]> reference = Mp4TestFiles.ffmpegPictures(mp4);
    try (Mp4Reader fromFile = Mp4Reader.open(mp4);
        Mp4Reader inMemory = Mp4Reader.of(Files.readAllBytes(mp4))) {
      Mp4Track track = fromFile.videoTrack();
      assertEquals(codec, track.codec());
      assertEquals(fragmented, track.fragmented());
      assertEquals(Mp4TestFiles.WIDTH, track.width());
      assertEquals(100, track.profileIdc(), "High profile from avcC");
      assertEquals(name.startsWith("two-byte") ? 2 : 4, track.nalLengthSize());
      assertEquals(packets.size(), track.sampleCount(), "samples");
      boolean reordered = false;
      for (int i = 0; i < track.sampleCount(); i++) {
        Mp4Sample sample = track.sample(i);
        assertEquals(packets.get(i)[0], track.toSeconds(sample.presentationTime()), 1e-6,
            "presentation time of sample " + i);
        assertEquals(packets.get(i)[1] == 1, sample.sync(), "sync flag of sample " + i);
        reordered |= sample.presentationTime() != sample.decodeTime();
        byte[] unit = fromFile.readSample(i);
        assertArrayEquals(unit, inMemory.readSample(i), "sample " + i);
        long parameterSets =
            AnnexB.nalUnits(unit).stream().filter(nal -> nal.type() == NalUnit.TYPE_SPS).count();
        // The sample entry's SPS goes in front of a sync sample unless the sample has its own
        // SPS and PPS; one with only its own SPS has both.
        int spsPerSync = name.startsWith("sps-in-band") ? 2 : 1;
        assertEquals(sample.sync() ? spsPerSync : 0, parameterSets, "SPS in sample " + i);
      }
      assertEquals(bFrames, reordered && !name.equals("edit-list"), "B-frames reorder");
      assertEquals(reference.size(), track.pictureCount(), "pictures shown");
      if (bFrames && OpenH264Release.isFirstGeneration()) {
        // 1.7.0 refuses B slices: every other sample gives its picture (fewer with B-frames
        // referred to).
        int last = track.sampleCount() - 1;
        int expected = track.sampleCount() - Mp4TestFiles.reorderedSamples(track, 0, last);
        int decoded = Mp4TestFiles.decodeAll(fromFile).size();
        assertTrue(name.equals("b-pyramid") ? decoded <= expected : decoded == expected,
            decoded + " pictures of " + expected + ", " + OpenH264Release.version());
        return;
      }
      List<byte[]> pictures = Mp4TestFiles.decodeShown(fromFile);
      assertEquals(reference.size(), pictures.size());
      for (int i = 0; i < pictures.size(); i++) {
        if (!bFrames) {
          assertArrayEquals(reference.get(i), pictures.get(i), "picture " + i);
        } else {
          // OpenH264 decodes some pictures of a B-pyramid a few levels off ffmpeg (37.9 dB).
          FfmpegTool.assertShownInOrder(reference, pictures, i,
              name.equals("b-pyramid") ? 32 : 38);
        }
      }
      // The same pictures from the library's one decode loop, each at its time; a StreamDecoder
      // handed the file as a stream tells it is an MP4 by its first bytes.
      int shown = 0;
      for (Picture picture : VideoReader.open(mp4)) {
        assertArrayEquals(pictures.get(shown), picture.decoded().toPackedI420(), "read " + shown);
        long time = track.picture(shown).presentationTime();
        assertEquals(Math.round(track.toSeconds(time) * 1e6), picture.presentationTimeMicros(),
            "time of picture " + shown);
        shown++;
      }
      assertEquals(pictures.size(), shown, "pictures from the VideoReader");
      // As images converted by the decoder, into the image handed back or into a new one.
      try (VideoReader images = VideoReader.open(mp4)) {
        BufferedImage last = null;
        for (int i = 0; i < pictures.size(); i++) {
          boolean handBack = i % 3 != 2;
          BufferedImage image = images.nextImage(handBack ? last : null);
          BufferedImage expected = ImageConversions.toImage(I420Picture.fromPacked(
              pictures.get(i), Mp4TestFiles.WIDTH, Mp4TestFiles.HEIGHT), images.colour());
          assertArrayEquals(pixels(expected), pixels(image), "image " + i);
          assertEquals(handBack && last != null, image == last, "image " + i + " handed back");
          assertEquals(Math.round(track.toSeconds(track.picture(i).presentationTime()) * 1e6),
              images.imageTimeMicros(), "time of image " + i);
          last = image;
        }
        assertNull(images.nextImage(last), "no image after the last picture");
      }
      try (StreamDecoder stream = new StreamDecoder(Files.newInputStream(mp4))) {
        int count = 0;
        for (; stream.hasNext(); stream.next()) {
          count++;
        }
        assertEquals(pictures.size(), count, "pictures from a StreamDecoder on a stream");
      }
    }
  }

  /** The folder of the files {@link #ffmpegFiles()} makes, made first if they are not there. */
  private static Path madeFiles() throws Exception {
    Path folder = FfmpegTool.workDir("mp4-reader");
    if (!Files.exists(folder.resolve("moov-at-end.mp4"))
        || !Files.exists(folder.resolve("b-frames.mp4"))) {
      ffmpegFiles().count();
    }
    return folder;
  }

  /** file, time asked for, the time ffmpeg's accurate seek must be given to find that picture. */
  static Stream<Arguments> grabs() throws Exception {
    Path folder = madeFiles();
    Path plain = folder.resolve("moov-at-end.mp4");
    Path bFrames = folder.resolve("b-frames.mp4");
    return Stream.of(
        Arguments.of(plain, 0.0, 0.0),
        Arguments.of(plain, 0.5, 0.5),
        Arguments.of(plain, 0.51, 0.5),
        Arguments.of(plain, 0.7, 0.7),
        Arguments.of(plain, 1.3, 1.3),
        Arguments.of(bFrames, 0.1, 0.1),
        Arguments.of(bFrames, 0.45, 0.4333333),
        Arguments.of(bFrames, 1.0, 1.0),
        Arguments.of(bFrames, 1.3, 1.3));
  }

  @ParameterizedTest(name = "{0} at {1} s")
  @MethodSource("grabs")
  void grabsThePictureFfmpegSeeksTo(Path mp4, double at, double ffmpegAt) throws Exception {
    byte[] fromFfmpeg =
        Mp4TestFiles.ffmpegPictures(mp4, "-ss", String.format(Locale.ROOT, "%.7f", ffmpegAt))
            .get(0);
    try (FrameGrabber grabber = FrameGrabber.open(mp4);
        Mp4Reader reader = Mp4Reader.open(mp4)) {
      Mp4Track track = grabber.track();
      int n = track.pictureAt(track.toTicks(ffmpegAt + 1e-6));
      // 1.7.0 refuses B slices: it decodes no stream with B-frames whole. A grab that meets a B
      // picture it must decode says it could not; one that can pass the B pictures by (nothing
      // refers to them) gives the picture.
      boolean refusesB = OpenH264Release.isFirstGeneration()
          && Mp4TestFiles.reorderedSamples(track, 0, track.sampleCount() - 1) > 0;
      byte[] grabbed;
      try {
        grabbed = grabber.pictureAt(at).toPackedI420();
      } catch (CodecException refused) {
        assertTrue(refusesB, refused.getMessage());
        assertTrue(refused.getMessage().contains("pictures instead of"), refused.getMessage());
        return;
      }
      if (!refusesB) {
        byte[] decodedThrough = Mp4TestFiles.decodeShown(reader).get(n);
        assertArrayEquals(decodedThrough, grabbed, "picture " + n + " decoded from the start");
      }
      assertArrayEquals(grabbed, grabber.picture(n).toPackedI420(), "picture " + n);
      if (mp4.getFileName().toString().startsWith("b-frames")) {
        assertTrue(FfmpegTool.psnr(fromFfmpeg, 0, grabbed, 0, grabbed.length) > 38,
            "ffmpeg's picture at " + ffmpegAt);
      } else {
        assertArrayEquals(fromFfmpeg, grabbed, "ffmpeg's picture at " + ffmpegAt);
      }
      BufferedImage image = grabber.imageAt(at);
      BufferedImage converted =
          ImageConversions.toImage(
              I420Picture.fromPacked(grabbed, Mp4TestFiles.WIDTH, Mp4TestFiles.HEIGHT));
      assertArrayEquals(pixels(converted), pixels(image));
    }
  }

  /** How a row asks for its pictures. */
  enum Asking { ONE_BY_ONE, BY_NUMBER, BATCH, PICTURES_AND_IMAGES }

  /**
   * file, how it is asked, the seek, the times (in seconds, in the order asked; picture numbers
   * when asked by number), whether every picture is asked for (so that every sample is decoded
   * once and only once). The rows asked one by one with rising times keep a steady step across
   * key frames, so that pictures are grabbed ahead.
   */
  static Stream<Arguments> grabOrders() throws Exception {
    Path folder = madeFiles();
    Path plain = folder.resolve("moov-at-end.mp4");
    Path bFrames = folder.resolve("b-frames.mp4");
    // Reference B-frames: the middle one of three is a reference for the others.
    Path pyramid = Mp4TestFiles.ffmpeg(folder, "b-pyramid", "-c:v", "libx264", "-g", "10",
        "-bf", "3", "-x264-params", "b-pyramid=normal");
    double[] all = new double[Mp4TestFiles.FRAMES];
    double[] backwards = new double[all.length];
    for (int i = 0; i < all.length; i++) {
      all[i] = i / 30.0;
      backwards[all.length - 1 - i] = all[i];
    }
    double[] scattered = {1.2, 0.1, 0.5, 0.1, 1.3, 0.0, 0.7, 0.5, 0.34};
    double[] everySecondThird = {0.0, 0.3333, 0.6667, 1.0, 1.3};
    // Two or three pictures a key-frame interval: the next interval's are grabbed ahead.
    double[] everyFifth = {0.0, 0.2, 0.4, 0.6, 0.8, 1.0, 1.2};
    // By picture number, seven a step: intervals of one or two pictures.
    double[] everySeventh = {0, 7, 14, 21, 28, 35};
    List<Arguments> rows = new ArrayList<>();
    for (Path file : List.of(plain, bFrames, pyramid)) {
      rows.add(Arguments.of(file, Asking.ONE_BY_ONE, Seek.PRECISE, all, true));
      rows.add(Arguments.of(file, Asking.ONE_BY_ONE, Seek.PRECISE, backwards, false));
      rows.add(Arguments.of(file, Asking.ONE_BY_ONE, Seek.PRECISE, everySecondThird, false));
      rows.add(Arguments.of(file, Asking.ONE_BY_ONE, Seek.PRECISE, everyFifth, false));
      rows.add(Arguments.of(file, Asking.BY_NUMBER, Seek.PRECISE, everySeventh, false));
      // By turns a picture and an image: the look-ahead makes one or the other ahead.
      rows.add(Arguments.of(file, Asking.PICTURES_AND_IMAGES, Seek.PRECISE, everyFifth, false));
      rows.add(Arguments.of(file, Asking.BATCH, Seek.PRECISE, all, true));
      rows.add(Arguments.of(file, Asking.BATCH, Seek.PRECISE, scattered, false));
      rows.add(Arguments.of(file, Asking.ONE_BY_ONE, Seek.KEY_FRAME, scattered, false));
      rows.add(Arguments.of(file, Asking.BATCH, Seek.KEY_FRAME, scattered, false));
    }
    return rows.stream();
  }

  @ParameterizedTest(name = "{0} {1} {2} {3}")
  @MethodSource("grabOrders")
  @Tag("release-matrix")
  void grabsInAnyOrderGiveTheSamePicturesAndDecodeNoSampleTwice(
      Path mp4, Asking asking, Seek seek, double[] times, boolean everyPicture) throws Exception {
    try (FrameGrabber grabber = FrameGrabber.open(mp4)) {
      Mp4Track track = grabber.track();
      assumeFalse(OpenH264Release.isFirstGeneration()
          && Mp4TestFiles.reorderedSamples(track, 0, track.sampleCount() - 1) > 0,
          "1.7.0 refuses B slices");
      List<byte[]> shown;
      try (Mp4Reader reader = Mp4Reader.open(mp4)) {
        shown = Mp4TestFiles.decodeShown(reader); // every picture, decoded from the start
      }
      List<BufferedImage> images = new ArrayList<>();
      if (asking == Asking.BATCH) {
        images.addAll(grabber.imagesAt(seek, times));
      } else {
        List<Object> grabbed = new ArrayList<>(); // pictures are the caller's for good
        for (int i = 0; i < times.length; i++) {
          grabbed.add(switch (asking) {
            case BY_NUMBER -> grabber.image((int) times[i], seek);
            case PICTURES_AND_IMAGES -> i % 2 == 0
                ? grabber.pictureAt(times[i], seek) : grabber.imageAt(times[i], seek);
            default -> grabber.imageAt(times[i], seek);
          });
        }
        for (Object each : grabbed) {
          images.add(each instanceof DecodedPicture picture
              ? ImageConversions.toImage(picture, grabber.colour()) : (BufferedImage) each);
        }
      }
      Set<Integer> keyFrames = new HashSet<>();
      for (int i = 0; i < times.length; i++) {
        int n = asking == Asking.BY_NUMBER
            ? (int) times[i] : track.pictureAt(track.toTicks(times[i] + 1e-6));
        if (seek == Seek.KEY_FRAME) {
          int sync = track.syncSampleAtOrBefore(track.picture(n).index());
          keyFrames.add(sync);
          n = shownPlace(track, sync);
        }
        BufferedImage expected = ImageConversions.toImage(
            I420Picture.fromPacked(shown.get(n), Mp4TestFiles.WIDTH, Mp4TestFiles.HEIGHT));
        assertArrayEquals(pixels(expected), pixels(images.get(i)),
            "picture " + n + " at " + times[i] + " s");
      }
      long decoded = GrabberCounts.samplesDecoded(grabber);
      boolean rising = asking == Asking.BATCH || Arrays.equals(times, sorted(times));
      if (seek == Seek.KEY_FRAME) {
        assertEquals(asking == Asking.BATCH ? keyFrames.size() : times.length, decoded,
            "key frames decoded alone");
      } else if (everyPicture) {
        assertEquals(track.sampleCount(), decoded, "every sample decoded once");
      } else if (rising) {
        assertTrue(decoded <= track.sampleCount(), decoded + " samples decoded");
      }
      if (asking != Asking.BATCH && seek == Seek.PRECISE && rising
          && Runtime.getRuntime().availableProcessors() > 1) {
        assertTrue(GrabberCounts.picturesTakenAhead(grabber) > 0, "pictures grabbed ahead");
      }
    }
  }

  @Test
  void closingWhileGrabbingAheadWaitsForTheLookAheadAndEndsIt() throws Exception {
    assumeFalse(Runtime.getRuntime().availableProcessors() < 2, "grabs ahead with two processors");
    Path mp4 = madeFiles().resolve("moov-at-end.mp4");
    for (int round = 0; round < 20; round++) {
      FrameGrabber grabber = FrameGrabber.open(mp4);
      // A step of one picture: pictures 10 to 13, the next interval's first four, go ahead.
      for (int n : new int[] {0, 1, 10, 11}) {
        grabber.picture(n);
      }
      assertEquals(2, GrabberCounts.picturesTakenAhead(grabber), "pictures grabbed ahead");
      grabber.close(); // the look-ahead may still be at pictures 12 and 13
      assertTrue(Thread.getAllStackTraces().keySet().stream()
              .noneMatch(thread -> thread.getName().equals("frame-grabber-ahead")),
          "a look-ahead outlived close()");
    }
  }

  @Test
  void aFailureAheadIsThrownByTheRequestItBelongsTo() throws Exception {
    Path mp4 = Files.copy(madeFiles().resolve("moov-at-end.mp4"), dir.resolve("cut-later.mp4"),
        StandardCopyOption.REPLACE_EXISTING);
    try (FrameGrabber grabber = FrameGrabber.open(mp4)) {
      grabber.picture(0);
      // Cut short while open: the samples from 10 on are gone, so a look-ahead there fails.
      try (FileChannel file = FileChannel.open(mp4, StandardOpenOption.WRITE)) {
        file.truncate(grabber.track().sample(10).offset());
      }
      for (int n = 1; n < 10; n++) {
        grabber.picture(n);
      }
      Mp4FormatException cut =
          assertThrows(Mp4FormatException.class, () -> grabber.picture(10));
      assertTrue(cut.getMessage().contains("the file ended"), cut.getMessage());
      assertEquals(0, GrabberCounts.picturesTakenAhead(grabber), "pictures grabbed ahead");
    }
  }

  @Test
  void aDamagedSampleLeavesThePicturesDecodedBeforeItWhole() throws Exception {
    assumeFalse(OpenH264Release.isFirstGeneration(), "1.7.0 refuses B slices");
    Path original = madeFiles().resolve("b-frames.mp4");
    Path mp4 = Files.copy(original, dir.resolve("damaged.mp4"),
        StandardCopyOption.REPLACE_EXISTING);
    // Noise over the second P picture, which the pictures before it need decoded to come out:
    // the sample fails, and they are decoded again alone from the key frame.
    int damaged = 0;
    try (Mp4Reader reader = Mp4Reader.open(mp4);
        FileChannel file = FileChannel.open(mp4, StandardOpenOption.WRITE)) {
      for (int seen = 0; seen < 2; ) {
        seen += AnnexB.nalUnits(reader.readSample(++damaged)).stream()
            .anyMatch(nal -> nal.isSlice() && nal.refIdc() > 0) ? 1 : 0;
      }
      Mp4Sample sample = reader.videoTrack().sample(damaged);
      byte[] noise = new byte[sample.size() - 12];
      new Random(3).nextBytes(noise);
      file.write(ByteBuffer.wrap(noise), sample.offset() + 12);
    }
    try (FrameGrabber whole = FrameGrabber.open(original);
        FrameGrabber spoilt = FrameGrabber.open(mp4)) {
      for (int n = 0; whole.track().picture(n).index() < damaged; n++) {
        assertArrayEquals(pixels(whole.image(n, Seek.PRECISE)),
            pixels(spoilt.image(n, Seek.PRECISE)), "picture " + n);
      }
      long decoded = GrabberCounts.samplesDecoded(spoilt);
      assertTrue(decoded > damaged + 1, decoded + " samples decoded: none failed");
    }
  }

  private static double[] sorted(double[] values) {
    double[] copy = values.clone();
    Arrays.sort(copy);
    return copy;
  }

  /** The place in presentation order of a sample's picture. */
  private static int shownPlace(Mp4Track track, int sample) {
    for (int n = 0; n < track.pictureCount(); n++) {
      if (track.picture(n).index() == sample) {
        return n;
      }
    }
    throw new AssertionError("sample " + sample + " is not shown");
  }

  @Test
  void refusesTimesWithoutAPicture() throws Exception {
    Path mp4 = dir.resolve("moov-at-end.mp4");
    if (!Files.exists(mp4)) {
      ffmpegFiles().count();
    }
    try (FrameGrabber grabber = FrameGrabber.open(mp4)) {
      for (double at : new double[] {-0.1, 1.3334, 99, Double.NaN}) {
        IllegalArgumentException refused =
            assertThrows(IllegalArgumentException.class, () -> grabber.pictureAt(at), "" + at);
        assertTrue(refused.getMessage().contains("lasts 1.333"), refused.getMessage());
      }
      assertThrows(IndexOutOfBoundsException.class, () -> grabber.picture(Mp4TestFiles.FRAMES));
    }
  }

  /** name, how ffmpeg makes the file, a part of the message that must say what is wrong. */
  static Stream<Arguments> unreadable() {
    return Stream.of(
        Arguments.of("hvc1", new String[] {"-c:v", "libx265", "-tag:v", "hvc1"}, "hvc1 (HEVC)"),
        Arguments.of("hev1", new String[] {"-c:v", "libx265", "-tag:v", "hev1"}, "hev1 (HEVC)"),
        Arguments.of("vp09", new String[] {"-c:v", "libvpx-vp9", "-deadline", "realtime"},
            "vp09 (VP9)"),
        Arguments.of("av01", new String[] {"-c:v", "libaom-av1", "-cpu-used", "8"}, "av01 (AV1)"),
        Arguments.of("encrypted", new String[] {"-c:v", "libx264", "-encryption_scheme",
            "cenc-aes-ctr", "-encryption_key", "00112233445566778899aabbccddeeff",
            "-encryption_kid", "ffeeddccbbaa99887766554433221100"}, "encrypted (encv: avc1"),
        Arguments.of("audio-only", new String[] {"-f", "lavfi", "-i", "sine=duration=1",
            "-map", "1:a", "-c:a", "aac"}, "no video track (its tracks: soun)"),
        Arguments.of("cut-before-moov", new String[] {"-c:v", "libx264"},
            "before its moov box: it was cut short"),
        Arguments.of("not-mp4", new String[] {"-c:v", "libx264", "-f", "h264"},
            "not an MP4 file"));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("unreadable")
  void namesWhatItCannotRead(String name, String[] options, String message) throws Exception {
    byte[] file = Files.readAllBytes(Mp4TestFiles.ffmpeg(dir, "refused-" + name, options));
    if (name.equals("cut-before-moov")) {
      file = Arrays.copyOf(file, file.length / 2);
    }
    byte[] bytes = file;
    Mp4FormatException refused =
        assertThrows(Mp4FormatException.class, () -> Mp4Reader.of(bytes).close());
    assertTrue(refused.getMessage().contains(message), refused.getMessage());
  }

  /**
   * OpenH264 2.3's B-pictures differ from ffmpeg's by a few levels here and there (40 to 63 dB
   * PSNR), so for them the check is that picture i is ffmpeg's picture i: close to it, and far
   * closer to it than to its neighbours.
   */
  private static int[] pixels(BufferedImage image) {
    return ((DataBufferInt) image.getRaster().getDataBuffer()).getData();
  }
}
