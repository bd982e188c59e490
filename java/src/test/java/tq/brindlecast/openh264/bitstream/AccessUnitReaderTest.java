package tq.brindlecast.openh264.bitstream;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTimeoutPreemptively;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.stream.Collectors;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;
import tq.brindlecast.openh264.CodecException;
import tq.brindlecast.openh264.DecoderConfig;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.StreamSamples;
import tq.brindlecast.openh264.X264Streams;
import tq.brindlecast.openh264.video.StreamDecoder;

class AccessUnitReaderTest {
  // NAL units: header byte, then a first payload byte whose top bit says first_mb_in_slice == 0.
  private static final byte[] SPS = {0x67, 0x42, 0x11};
  private static final byte[] PPS = {0x68, (byte) 0xCE};
  private static final byte[] AUD = {0x09, (byte) 0xF0};
  private static final byte[] SEI = {0x06, 0x05, 0x01};
  private static final byte[] IDR_FIRST = {0x65, (byte) 0x88, 0x21};
  private static final byte[] IDR_NEXT = {0x65, 0x22, 0x33};
  private static final byte[] P_FIRST = {0x41, (byte) 0x9A, 0x44};
  private static final byte[] P_NEXT = {0x41, 0x26, 0x55};
  private static final byte[] PREFIX = {0x6E, 0x40, 0x66};
  private static final byte[] ENHANCEMENT = {0x74, (byte) 0x80, 0x00, 0x00, (byte) 0x80};

  private static byte[] stream(byte[]... units) {
    ByteArrayOutputStream out = new ByteArrayOutputStream();
    for (int i = 0; i < units.length; i++) {
      out.write(0);
      if (i % 2 == 0) {
        out.write(0); // alternate between three- and four-byte start codes
      }
      out.write(0);
      out.write(1);
      out.writeBytes(units[i]);
    }
    return out.toByteArray();
  }

  /** The access units of a stream, each as the list of its NAL unit types. */
  private static List<String> accessUnits(byte[] stream) throws IOException {
    List<String> units = new ArrayList<>();
    try (AccessUnitReader reader = new AccessUnitReader(new ByteArrayInputStream(stream))) {
      byte[] unit;
      while ((unit = reader.nextAccessUnit()) != null) {
        units.add(AnnexB.nalUnits(unit).stream()
            .map(n -> String.valueOf(n.type())).collect(Collectors.joining(" ")));
      }
    }
    return units;
  }

  @Test
  void picturesAreSplitAtParameterSetsAndAtTheirFirstSlice() throws IOException {
    byte[] stream = stream(SPS, PPS, IDR_FIRST, IDR_NEXT, P_FIRST, P_NEXT, P_NEXT, P_FIRST,
        AUD, P_FIRST, SEI, SPS, PPS, IDR_FIRST);
    assertEquals(List.of("7 8 5 5", "1 1 1", "1", "9 1", "6 7 8 5"), accessUnits(stream));
  }

  @Test
  void prefixUnitsGoWithTheSliceAfterThemAndEnhancementSlicesStay() throws IOException {
    byte[] stream = stream(SPS, PPS, PREFIX, IDR_FIRST, ENHANCEMENT, PREFIX, P_FIRST,
        ENHANCEMENT, PREFIX, P_FIRST, PREFIX, P_NEXT);
    assertEquals(List.of("7 8 14 5 20", "14 1 20", "14 1 14 1"), accessUnits(stream));
  }

  @Test
  void unitsComeBackWholeBehindFourByteStartCodes() throws IOException {
    byte[] withTrailingZeros = {0x41, (byte) 0x9A, 0x44, 0x00, 0x00};
    byte[] stream = stream(new byte[] {0x12}, P_FIRST, withTrailingZeros);
    byte[] garbage = {0x55, 0x00, 0x00, 0x02};
    byte[] all = new byte[garbage.length + stream.length];
    System.arraycopy(garbage, 0, all, 0, garbage.length);
    System.arraycopy(stream, 0, all, garbage.length, stream.length);
    try (AccessUnitReader reader = new AccessUnitReader(new ByteArrayInputStream(all))) {
      assertArrayEquals(
          new byte[] {0, 0, 0, 1, 0x12, 0, 0, 0, 1, 0x41, (byte) 0x9A, 0x44},
          reader.nextAccessUnit());
      assertArrayEquals(new byte[] {0, 0, 0, 1, 0x41, (byte) 0x9A, 0x44}, reader.nextAccessUnit());
      assertNull(reader.nextAccessUnit());
      assertEquals(all.length, reader.bytesRead());
    }
  }

  @Test
  void unitsLargerThanTheReadBufferAndStartCodesAcrossReadsSurvive() throws IOException {
    // A unit of 200000 bytes, then one whose start code straddles the first 64 KiB boundary.
    byte[] big = new byte[200_000];
    for (int i = 0; i < big.length; i++) {
      big[i] = (byte) (0x10 + i % 200);
    }
    big[0] = 0x41;
    big[1] = (byte) 0x9A;
    byte[] small = new byte[65_536 - 6];
    java.util.Arrays.fill(small, (byte) 0x33);
    small[0] = 0x41;
    small[1] = (byte) 0x9A;
    byte[] stream = stream(small, P_FIRST, big, P_FIRST);
    try (AccessUnitReader reader = new AccessUnitReader(new ByteArrayInputStream(stream))) {
      assertArrayEquals(small, reader.nextNalUnit());
      assertArrayEquals(P_FIRST, reader.nextNalUnit());
      assertArrayEquals(big, reader.nextNalUnit());
      assertArrayEquals(P_FIRST, reader.nextNalUnit());
      assertNull(reader.nextNalUnit());
    }
  }

  /**
   * A NAL unit that never ends, and an access unit of slices that never ends it, each 72 MiB
   * streamed: refused with a reason once past 64 MiB, in linear time (quadratic copying took
   * minutes for far less).
   */
  @ParameterizedTest
  @ValueSource(ints = {0, 4096})
  void unitsLongerThanAnyPictureAreRefusedInLinearTime(int sliceBytes) {
    long length = 72L << 20;
    java.io.InputStream endless = new java.io.InputStream() {
      private long position;

      @Override
      public int read() {
        if (position >= length) {
          return -1;
        }
        long at = position++;
        long inSlice = sliceBytes == 0 ? at : at % sliceBytes;
        // 00 00 01, then a non-IDR slice header whose first_mb_in_slice is not 0, then 0x55s.
        return inSlice < 2 ? 0
            : inSlice == 2 ? 1 : inSlice == 3 ? 0x41 : inSlice == 4 ? 0x40 : 0x55;
      }
    };
    IOException refused = assertTimeoutPreemptively(java.time.Duration.ofSeconds(60),
        () -> assertThrows(IOException.class, () -> {
          try (AccessUnitReader reader = new AccessUnitReader(endless)) {
            while (reader.nextAccessUnit() != null) {
              // keep reading
            }
          }
        }));
    assertTrue(refused.getMessage().contains("longer than 64 MiB"), refused.getMessage());
  }

  @Test
  void multiSliceStreamFromX264SplitsIntoOneUnitPerPicture() throws Exception {
    Path dir = FfmpegTool.workDir("annexb-reader");
    Path h264 = dir.resolve("x264-slices.h264");
    FfmpegTool.run("-loglevel", "error", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30",
        "-frames:v", "12", "-c:v", "libx264", "-bf", "0", "-x264-params", "slices=4",
        "-pix_fmt", "yuv420p", h264.toString());
    List<String> units = accessUnits(Files.readAllBytes(h264));
    assertEquals(12, units.size(), units.toString());
    for (String unit : units) {
      long slices = List.of(unit.split(" ")).stream()
          .filter(t -> t.equals(String.valueOf(NalUnit.TYPE_IDR)) || t.equals("1")).count();
      assertEquals(4, slices, "slices in " + unit);
    }
  }

  @Test
  void wholeStreamsDecodeThroughTheIteratorAndTheCallbackIncludingTheDrain() throws Exception {
    Path dir = FfmpegTool.workDir("stream-decoder");
    StreamSamples main = StreamSamples.make(dir, "main", 160, 96, 8, "-profile:v", "main",
        "-bf", "0", "-weightp", "0");
    Path file = Files.write(dir.resolve("main.h264"), main.stream);
    List<byte[]> viaCallback = new ArrayList<>();
    assertEquals(8, StreamDecoder.decodeAll(file, p -> viaCallback.add(p.toPackedI420())));
    List<byte[]> viaIterator = new ArrayList<>();
    try (StreamDecoder pictures = new StreamDecoder(new AccessUnitReader(
        java.nio.channels.FileChannel.open(file)), new DecoderConfig(), null)) {
      pictures.forEachRemaining(p -> viaIterator.add(p.toPackedI420()));
      assertEquals(8, pictures.accessUnits());
      assertEquals(0, pictures.failedAccessUnits());
    }
    for (List<byte[]> decoded : List.of(viaCallback, viaIterator)) {
      assertEquals(main.reference.size(), decoded.size(), "the last picture comes from the drain");
      for (int i = 0; i < decoded.size(); i++) {
        assertArrayEquals(main.reference.get(i), decoded.get(i), "picture " + i);
      }
    }
    Path interlaced = X264Streams.make(FfmpegTool.workDir("unsupported-streams"), "interlaced",
        "176x144", "25", 3, X264Streams.UNSUPPORTED.get("interlaced"));
    CodecException refused = org.junit.jupiter.api.Assertions.assertThrows(CodecException.class,
        () -> StreamDecoder.decodeAll(interlaced, p -> { }));
    assertEquals("interlaced coding (frame_mbs_only_flag 0) is not supported by OpenH264; 3 of 3"
        + " access units not decoded", refused.getMessage());
  }
}
