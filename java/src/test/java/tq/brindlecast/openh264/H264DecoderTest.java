package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.bitstream.AccessUnitReader;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.EncodedFrame;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.bitstream.SequenceParameterSet;

@Tag("release-matrix")
class H264DecoderTest {
  private static final int WIDTH = 320;
  private static final int HEIGHT = 240;

  /** Encodes {@code count} pictures, all kept (no skipping). */
  private static List<EncodedFrame> encode(EncoderConfig config, int count) {
    List<EncodedFrame> frames = new ArrayList<>();
    try (H264Encoder encoder = new H264Encoder(config.setEnableFrameSkip(false))) {
      encoder.setBitrate(1500);
      for (int frame = 0; frame < count; frame++) {
        frames.add(encoder.encode(H264EncoderTest.picture(WIDTH, HEIGHT, frame)));
      }
    }
    return frames;
  }

  private static double psnr(byte[] a, byte[] b) {
    assertEquals(a.length, b.length);
    return FfmpegTool.psnr(a, 0, b, 0, a.length);
  }

  @Test
  void eachEncodedPictureDecodesAtOnceAndCloseToItsSource() {
    List<EncodedFrame> frames = encode(new EncoderConfig().setRcMode(RateControlMode.BITRATE), 20);
    try (H264Decoder decoder = new H264Decoder()) {
      for (int i = 0; i < frames.size(); i++) {
        DecodedPicture picture = decoder.decode(frames.get(i).data());
        assertNotNull(picture, "picture " + i);
        assertEquals(WIDTH, picture.width());
        assertEquals(HEIGHT, picture.height());
        assertTrue(picture.stride(I420Picture.Y) >= WIDTH);
        double quality = psnr(TestPictures.movingPattern(WIDTH, HEIGHT, i), picture.toPackedI420());
        assertTrue(quality > 30, "picture " + i + " at " + quality + " dB");
      }
      assertNull(decoder.drain(), "a Constrained Baseline stream holds nothing back");
      assertFalse(decoder.needsKeyFrame());
    }
  }

  @Test
  void highProfilePicturesHeldBackComeOutThroughTheDrain() {
    List<EncodedFrame> frames =
        encode(new EncoderConfig().setRcMode(RateControlMode.BITRATE).setEntropyCodingModeFlag(true),
            10);
    List<byte[]> decoded = new ArrayList<>();
    try (H264Decoder decoder = new H264Decoder()) {
      for (EncodedFrame frame : frames) {
        DecodedPicture picture = decoder.decode(frame.data());
        if (picture != null) {
          decoded.add(picture.toPackedI420());
        }
      }
      for (DecodedPicture p; (p = decoder.drain()) != null; ) {
        decoded.add(p.toPackedI420());
      }
    }
    assertEquals(frames.size(), decoded.size(), "every picture comes out, the last by draining");
    for (int i = 0; i < decoded.size(); i++) {
      assertTrue(psnr(TestPictures.movingPattern(WIDTH, HEIGHT, i), decoded.get(i)) > 30,
          "picture " + i + " is in its place");
    }
  }

  @Test
  void damagedInputRaisesTheKeyFrameRequestUntilAnIdrPictureDecodes() {
    List<EncodedFrame> frames = encode(new EncoderConfig().setRcMode(RateControlMode.BITRATE), 3);
    try (H264Decoder decoder = new H264Decoder()) {
      byte[] garbage = new byte[4000];
      new Random(7).nextBytes(garbage);
      garbage[0] = 0;
      garbage[1] = 0;
      garbage[2] = 1;
      garbage[3] = 0x65;
      assertNull(decoder.decode(garbage));
      assertTrue(decoder.needsKeyFrame());
      decoder.clearKeyFrameRequest();
      assertFalse(decoder.needsKeyFrame());
      assertNull(decoder.decode(frames.get(1).data()), "a P picture without its reference");
      assertTrue(decoder.needsKeyFrame());
      assertNotNull(decoder.decode(frames.get(0).data()));
      assertFalse(decoder.needsKeyFrame(), "a decoded picture clears the request");
    }
  }

  @Test
  void partOfAnArrayDecodesLikeTheWholeOfACopy() {
    byte[] idr = encode(new EncoderConfig(), 1).get(0).data();
    byte[] surrounded = new byte[idr.length + 20];
    java.util.Arrays.fill(surrounded, (byte) 0x55);
    System.arraycopy(idr, 0, surrounded, 11, idr.length);
    byte[] expected;
    try (H264Decoder decoder = new H264Decoder()) {
      expected = decoder.decode(idr).toPackedI420();
      assertNull(decoder.decode(surrounded, 11, 0), "nothing to decode");
    }
    try (H264Decoder decoder = new H264Decoder()) {
      assertArrayEquals(expected, decoder.decode(surrounded, 11, idr.length).toPackedI420());
      assertThrows(IndexOutOfBoundsException.class,
          () -> decoder.decode(surrounded, 11, surrounded.length));
      assertThrows(IndexOutOfBoundsException.class, () -> decoder.decode(surrounded, -1, 2));
      assertThrows(NullPointerException.class, () -> decoder.decode(null));
      NullPointerException failure =
          assertThrows(NullPointerException.class, () -> decoder.reconfigure(null));
      assertTrue(failure.getMessage().contains("config"), failure.getMessage());
    }
  }

  @Test
  void reconfiguringBringsUpAFreshDecoderThatWaitsForAnIdrPicture() {
    List<EncodedFrame> frames = encode(new EncoderConfig().setRcMode(RateControlMode.BITRATE), 3);
    RecordingListener listener = new RecordingListener();
    try (H264Decoder decoder = new H264Decoder(new DecoderConfig(), listener)) {
      assertNotNull(decoder.decode(frames.get(0).data()));
      assertNotNull(decoder.decode(frames.get(1).data()));
      listener.debug.clear();
      decoder.reconfigure(new DecoderConfig().setCpuLoad(5));
      assertEquals(5, decoder.getConfig().getCpuLoad());
      assertEquals(List.of("openh264 decode: OpenH264 native decoder setting config."),
          listener.debug);
      assertNull(decoder.decode(frames.get(2).data()), "the new decoder has no reference yet");
      assertNotNull(decoder.decode(frames.get(0).data()));
    }
  }

  @Test
  void decodeAccessUnitTellsPictureNotYetAndFailureApartWithTheReason() throws Exception {
    byte[] idr = encode(new EncoderConfig(), 1).get(0).data();
    List<NalUnit> nals = AnnexB.nalUnits(idr);
    int firstSlice = nals.stream().filter(NalUnit::isSlice).findFirst().orElseThrow().offset() - 4;
    byte[] parameterSets = java.util.Arrays.copyOf(idr, firstSlice);
    byte[] noise = new byte[4096];
    new Random(11).nextBytes(noise);
    noise[0] = 0;
    noise[1] = 0;
    noise[2] = 1;
    noise[3] = 0x65; // an IDR slice header over random bytes
    try (H264Decoder decoder = new H264Decoder()) {
      DecodeResult failed = decoder.decodeAccessUnit(noise);
      assertEquals(DecodeResult.Status.FAILED, failed.status());
      assertTrue(failed.reason().contains("no sequence parameter set"), failed.reason());
      assertEquals(DecodeResult.Status.NO_PICTURE_YET,
          decoder.decodeAccessUnit(parameterSets).status());
      assertEquals(WIDTH, decoder.sequenceParameterSet().width());
      DecodeResult picture = decoder.decodeAccessUnit(idr);
      assertEquals(DecodeResult.Status.PICTURE, picture.status());
      assertEquals(HEIGHT, picture.picture().height());
      assertNull(picture.reason());
    }
    Path dir = FfmpegTool.workDir("unsupported-streams");
    for (var kind : X264Streams.UNSUPPORTED.entrySet()) {
      Path file = X264Streams.make(dir, kind.getKey(), "176x144", "25", 3, kind.getValue());
      List<DecodeResult> results = new ArrayList<>();
      try (AccessUnitReader reader = AccessUnitReader.open(file);
          H264Decoder decoder = new H264Decoder()) {
        for (byte[] unit; (unit = reader.nextAccessUnit()) != null; ) {
          results.add(decoder.decodeAccessUnit(unit));
        }
      }
      assertEquals(3, results.size(), kind.getKey());
      for (DecodeResult result : results) {
        assertTrue(result.failed(), kind.getKey() + ": " + result);
        assertTrue(result.reason().endsWith("is not supported by OpenH264"), result.reason());
        assertEquals(
            SequenceParameterSet.parse(X264Streams.firstSps(file)).unsupportedFeature()
                + " is not supported by OpenH264", result.reason());
      }
    }
  }
}
