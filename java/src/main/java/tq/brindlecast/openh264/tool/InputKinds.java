package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import tq.brindlecast.openh264.mp4.Mp4Reader;

/** Tells MP4 files from Annex B streams, and names files that are neither, by their first bytes. */
final class InputKinds {
  private static final int HEAD = 12;
  private static final byte[] PNG = {(byte) 0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  private static final byte[] JPEG = {(byte) 0xFF, (byte) 0xD8, (byte) 0xFF};
  private static final byte[] MATROSKA = {0x1A, 0x45, (byte) 0xDF, (byte) 0xA3};

  private InputKinds() {}

  /**
   * Tells whether a stream (with mark support) starts like an ISO base media file (MP4, M4V,
   * MOV), leaving its position alone.
   */
  static boolean isMp4(InputStream in) throws IOException {
    return Mp4Reader.startsLikeMp4(head(in));
  }

  /**
   * Looks at the first bytes of a stream (with mark support), leaving its position alone.
   *
   * @return null when the stream may be H.264; otherwise why it is not, with a hint
   */
  static String wrongKind(InputStream in, String name) throws IOException {
    byte[] head = head(in);
    if (head.length == 0) {
      return name + " is empty: there is nothing to decode";
    }
    String kind = kind(head);
    return kind == null ? null : name + " is " + kind + ", not an H.264 Annex B stream";
  }

  private static byte[] head(InputStream in) throws IOException {
    in.mark(HEAD);
    byte[] head = in.readNBytes(HEAD);
    in.reset();
    return head;
  }

  private static String kind(byte[] head) {
    String text = new String(head, StandardCharsets.ISO_8859_1);
    if (text.startsWith(Y4mReader.MAGIC)) {
      return "a Y4M file (raw pictures: 'encode' takes it)";
    }
    if (startsWith(head, PNG)) {
      return "a PNG image";
    }
    if (startsWith(head, JPEG)) {
      return "a JPEG image";
    }
    if (startsWith(head, MATROSKA)) {
      return "a Matroska/WebM file (take the H.264 track out with: ffmpeg -i FILE -c:v copy"
          + " -bsf:v h264_mp4toannexb -f h264 OUT.h264)";
    }
    return null;
  }

  private static boolean startsWith(byte[] head, byte[] magic) {
    return head.length >= magic.length
        && Arrays.equals(head, 0, magic.length, magic, 0, magic.length);
  }
}
