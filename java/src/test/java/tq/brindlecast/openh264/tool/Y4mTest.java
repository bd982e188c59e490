package tq.brindlecast.openh264.tool;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.I420Picture;

class Y4mTest {
  private static Y4mReader reader(String text, byte[]... frames) throws IOException {
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    bytes.writeBytes(text.getBytes(StandardCharsets.US_ASCII));
    for (byte[] frame : frames) {
      bytes.writeBytes(frame);
    }
    return new Y4mReader(new ByteArrayInputStream(bytes.toByteArray()), "clip.y4m");
  }

  private static String failure(String header, byte[]... frames) {
    return assertThrows(IOException.class, () -> {
      try (Y4mReader reader = reader(header, frames)) {
        while (reader.next() != null) {
          // read to the end
        }
      }
    }).getMessage();
  }

  @Test
  void writtenPicturesReadBackWithTheirSizeAndRate() throws IOException {
    ByteArrayOutputStream file = new ByteArrayOutputStream();
    I420Picture first = TestPattern.render(34, 18, 0);
    I420Picture second = TestPattern.render(34, 18, 1);
    try (Y4mWriter writer = new Y4mWriter(file, "out.y4m", 30000 / 1001.0)) {
      writer.write(first);
      writer.write(second);
      IOException refused =
          assertThrows(IOException.class, () -> writer.write(TestPattern.render(36, 18, 2)));
      assertTrue(refused.getMessage().contains("holds one size only"), refused.getMessage());
    }
    try (Y4mReader reader =
        new Y4mReader(new ByteArrayInputStream(file.toByteArray()), "out.y4m")) {
      assertEquals(34, reader.width());
      assertEquals(18, reader.height());
      assertEquals(29.97, reader.fps(), 0.001);
      assertArrayEquals(first.toPacked(), reader.next().toPacked());
      assertArrayEquals(second.toPacked(), reader.next().toPacked());
      assertNull(reader.next());
    }
  }

  @Test
  void headersWithParametersAndFrameParametersAreRead() throws IOException {
    byte[] frame = new byte[I420Picture.packedSize(2, 2)];
    frame[0] = 42;
    try (Y4mReader reader =
        reader("YUV4MPEG2 W2 H2 F25:1 It A0:0 C420mpeg2 XYSCSS=420MPEG2\nFRAME Ixyz\n", frame)) {
      assertEquals(25.0, reader.fps());
      assertEquals(42, reader.next().plane(I420Picture.Y)[0]);
      assertNull(reader.next());
    }
  }

  @Test
  void filesThatCannotBeReadSayWhy() {
    byte[] frame = new byte[I420Picture.packedSize(2, 2)];
    assertTrue(failure("YUV4MPEG2 W2 H2 C444\n").contains("colour space C444"));
    assertTrue(failure("YUV4MPEG2 W2 F30:1\n").contains("no picture size"));
    assertTrue(failure("YUV4MPEG2 W0 H2\n").contains("invalid width '0'"));
    assertTrue(failure("YUV4MPEG2 W2 H2 F30:0\n").contains("invalid frame rate"));
    assertTrue(failure("RIFF W2 H2\n").contains("not a Y4M file"));
    assertTrue(failure("YUV4MPEG2 W2 H2").contains("ends inside the header"));
    assertTrue(failure("YUV4MPEG2 W2 H2\nFRAME\n", new byte[5])
        .contains("ends inside picture 1: 5 of 6 bytes"));
    assertTrue(failure("YUV4MPEG2 W2 H2\nFRAME\n", frame, "FRAMX\n".getBytes())
        .contains("picture 2 does not start with FRAME"));
  }

  @Test
  void ffmpegReadsOurFilesAndWeReadFfmpegsPictureForPicture() throws Exception {
    Path dir = FfmpegTool.workDir("y4m");
    Path ours = dir.resolve("ours.y4m");
    try (Y4mWriter writer = new Y4mWriter(Files.newOutputStream(ours), "ours.y4m", 25)) {
      for (int t = 0; t < 3; t++) {
        writer.write(TestPattern.render(66, 38, t));
      }
    }
    Path raw = dir.resolve("ours.yuv");
    FfmpegTool.run("-loglevel", "error", "-i", ours.toString(), "-f", "rawvideo", raw.toString());
    ByteArrayOutputStream expected = new ByteArrayOutputStream();
    for (int t = 0; t < 3; t++) {
      expected.writeBytes(TestPattern.render(66, 38, t).toPacked());
    }
    assertArrayEquals(expected.toByteArray(), Files.readAllBytes(raw));

    Path theirs = dir.resolve("theirs.y4m");
    FfmpegTool.run("-loglevel", "error", "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", "66x38",
        "-r", "30000/1001", "-i", raw.toString(), theirs.toString());
    try (Y4mReader reader = new Y4mReader(Files.newInputStream(theirs), "theirs.y4m")) {
      assertEquals(29.97, reader.fps(), 0.001);
      for (int t = 0; t < 3; t++) {
        assertArrayEquals(TestPattern.render(66, 38, t).toPacked(), reader.next().toPacked());
      }
      assertNull(reader.next());
    }
  }
}
