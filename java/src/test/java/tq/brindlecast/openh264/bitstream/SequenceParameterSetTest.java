package tq.brindlecast.openh264.bitstream;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.X264Streams;

/** Sequence parameter sets of x264 streams, read by us and by ffprobe, and malformed ones. */
class SequenceParameterSetTest {
  /** ffprobe's view of a stream's first video stream, as key=value pairs. */
  private static Map<String, String> ffprobe(Path file) throws Exception {
    Process process = new ProcessBuilder("ffprobe", "-v", "error", "-select_streams", "v:0",
        "-show_entries", "stream=level,width,height,sample_aspect_ratio,color_range,"
            + "r_frame_rate,pix_fmt,field_order", "-of", "default=noprint_wrappers=1",
        file.toString()).redirectErrorStream(true).start();
    String text = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    assertTrue(process.waitFor(1, TimeUnit.MINUTES) && process.exitValue() == 0, text);
    Map<String, String> values = new HashMap<>();
    for (String line : text.split("\n")) {
      int equals = line.indexOf('=');
      if (equals > 0) {
        values.put(line.substring(0, equals), line.substring(equals + 1).trim());
      }
    }
    return values;
  }

  private record Row(String name, String size, String rate, int profile, String unsupported,
      String... options) {}

  @Test
  void fieldsAgreeWithFfprobeForX264StreamsAndUnsupportedFeaturesAreNamed() throws Exception {
    Path dir = FfmpegTool.workDir("sps");
    List<Row> rows = List.of(
        new Row("baseline cropped", "638x358", "30000/1001", 66, null, "-profile:v", "baseline",
            "-vf", "setsar=4/3", "-color_range", "pc", "-pix_fmt", "yuv420p"),
        new Row("high", "320x240", "25", 100, null, "-pix_fmt", "yuv420p"),
        new Row("main", "352x98", "60", 77, null, "-profile:v", "main", "-pix_fmt",
            "yuv420p"),
        new Row("interlaced", "176x144", "25", 100, "interlaced coding (frame_mbs_only_flag 0)",
            X264Streams.UNSUPPORTED.get("interlaced")),
        new Row("4:2:2", "176x144", "25", 122, "4:2:2 chroma (chroma_format_idc 2)",
            X264Streams.UNSUPPORTED.get("4:2:2")),
        new Row("4:4:4", "176x144", "25", 244, "4:4:4 chroma (chroma_format_idc 3)",
            X264Streams.UNSUPPORTED.get("4:4:4")),
        new Row("High 10", "176x144", "25", 110, "10-bit samples",
            X264Streams.UNSUPPORTED.get("High 10")),
        new Row("lossless", "176x144", "25", 244, "lossless coding",
            X264Streams.UNSUPPORTED.get("lossless")));
    Set<Boolean> sawEmulationPrevention = new HashSet<>();
    for (Row row : rows) {
      Path file = X264Streams.make(dir, row.name(), row.size(), row.rate(), 2, row.options());
      byte[] nal = X264Streams.firstSps(file);
      sawEmulationPrevention.add(new String(nal, StandardCharsets.ISO_8859_1)
          .contains("\0\0\3"));
      SequenceParameterSet sps = SequenceParameterSet.parse(nal);
      Map<String, String> probe = ffprobe(file);
      String what = row.name() + ": " + sps + " vs " + probe;
      assertEquals(row.profile(), sps.profileIdc(), what);
      assertEquals(probe.get("level"), String.valueOf(sps.levelIdc()), what);
      assertEquals(probe.get("width"), String.valueOf(sps.width()), what);
      assertEquals(probe.get("height"), String.valueOf(sps.height()), what);
      assertEquals((sps.width() + 15) / 16, sps.widthInMbs(), what);
      // Field coding counts pairs of macroblock rows.
      assertEquals(sps.frameMbsOnly() ? (sps.height() + 15) / 16 : (sps.height() + 31) / 32 * 2,
          sps.heightInMbs(), what);
      String[] rate = row.rate().split("/");
      double fps = Double.parseDouble(rate[0]) / (rate.length > 1 ? Double.parseDouble(rate[1])
          : 1);
      assertEquals(fps, sps.frameRate(), 1e-9, what);
      String sar = probe.getOrDefault("sample_aspect_ratio", "N/A");
      assertEquals(sar.equals("N/A") || sar.equals("0:1") ? "0:0" : sar,
          sps.sarWidth() + ":" + sps.sarHeight(), what);
      assertEquals("pc".equals(probe.get("color_range")), sps.fullRange(), what);
      String pixFmt = probe.get("pix_fmt");
      assertEquals(pixFmt.contains("444") ? 3 : pixFmt.contains("422") ? 2 : 1,
          sps.chromaFormatIdc(), what);
      assertEquals(pixFmt.contains("10") ? 10 : 8, sps.bitDepthLuma(), what);
      assertEquals("progressive".equals(probe.get("field_order")), sps.frameMbsOnly(), what);
      if (row.unsupported() == null) {
        assertNull(sps.unsupportedFeature(), what);
      } else {
        assertTrue(sps.unsupportedFeature().startsWith(row.unsupported()), what);
      }
    }
    assertEquals(Set.of(true, false), sawEmulationPrevention,
        "both kinds of SPS, with and without emulation prevention bytes, were read");
    assertTrue(SequenceParameterSet.parse(X264Streams.firstSps(
        X264Streams.make(dir, "baseline cropped", "", "", 0))).constraintSet(1));
  }

  @Test
  void malformedUnitsAreRefusedNamingTheField() {
    byte[] good = {0x67, 0x42, (byte) 0xC0, 0x1E, (byte) 0xD9, 0x00, (byte) 0xA0, 0x2F,
        (byte) 0xEA, 0x6C, 0x04, 0x40};
    Object[][] cases = {
      {new byte[0], "the unit is empty"},
      {new byte[] {0x68, (byte) 0xCE}, "NAL unit type 8"},
      {java.util.Arrays.copyOf(good, 3), "ends inside level_idc"},
      {java.util.Arrays.copyOf(good, 7), "ends inside"},
      {new byte[] {0x67, 0x42, 0x00, 0x1E, 0x04, 0x20}, "seq_parameter_set_id is 32, more than 31"},
      {new byte[] {0x67, 0x42, 0x00, 0x1E, 0, 0, 0, 0, 0, 1}, "not a valid Exp-Golomb code"},
    };
    for (Object[] c : cases) {
      IllegalArgumentException e = assertThrows(IllegalArgumentException.class,
          () -> SequenceParameterSet.parse((byte[]) c[0]));
      assertTrue(e.getMessage().contains((String) c[1]), e.getMessage() + " / " + c[1]);
    }
    assertThrows(NullPointerException.class, () -> SequenceParameterSet.parse(null));
    assertThrows(IndexOutOfBoundsException.class,
        () -> SequenceParameterSet.parse(good, 10, 5));
  }
}
