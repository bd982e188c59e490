package tq.brindlecast.openh264.bitstream;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.Test;

class AnnexBTest {
  private static byte[] bytes(int... values) {
    byte[] data = new byte[values.length];
    for (int i = 0; i < values.length; i++) {
      data[i] = (byte) values[i];
    }
    return data;
  }

  @Test
  void unitsAreFoundBehindThreeAndFourByteStartCodes() {
    byte[] stream =
        bytes(
            0xAA, 0, 0, 0, 1, 0x67, 0x42, 0x00, // garbage, then an SPS whose data ends in 00
            0, 0, 1, 0x68, 0xCE, // PPS
            0, 0, 0, 1, 0x65, 0x88, 0x80, 0, 0); // IDR slice with trailing zeros
    List<NalUnit> units = AnnexB.nalUnits(stream);
    assertEquals(3, units.size());
    assertEquals(new NalUnit(5, 2, NalUnit.TYPE_SPS, 3), units.get(0));
    assertEquals(new NalUnit(11, 2, NalUnit.TYPE_PPS, 3), units.get(1));
    assertEquals(new NalUnit(17, 3, NalUnit.TYPE_IDR, 3), units.get(2));
    assertTrue(units.get(2).isSlice());
    assertFalse(units.get(0).isSlice());
  }

  @Test
  void streamsWithoutUnitsGiveNone() {
    assertTrue(AnnexB.nalUnits(new byte[0]).isEmpty());
    assertTrue(AnnexB.nalUnits(bytes(0, 0, 1)).isEmpty());
    assertTrue(AnnexB.nalUnits(bytes(0, 0, 1, 0, 0, 1)).isEmpty());
    assertTrue(AnnexB.nalUnits(bytes(1, 2, 3, 0, 0, 2, 0xFF)).isEmpty());
  }

  @Test
  void startCodeSearchSkipsHighBytesWithoutMissingAnything() {
    byte[] data = bytes(0xFF, 0x80, 0, 0xFE, 0, 0, 0, 1, 0x41);
    assertEquals(5, AnnexB.findStartCode(data, 0, data.length));
    assertEquals(-1, AnnexB.findStartCode(data, 0, 7), "the 01 lies outside the range");
    assertThrows(IndexOutOfBoundsException.class, () -> AnnexB.findStartCode(data, 4, 20));
  }

  @Test
  void firstSliceOfAPictureIsRecognisedByItsFirstMacroblock() {
    byte[] stream = bytes(0, 0, 1, 0x41, 0x9A, 0, 0, 1, 0x41, 0x40, 0, 0, 1, 0x67, 0x80);
    List<NalUnit> units = AnnexB.nalUnits(stream);
    assertTrue(AnnexB.startsPicture(stream, units.get(0)), "first_mb_in_slice 0");
    assertFalse(AnnexB.startsPicture(stream, units.get(1)), "first_mb_in_slice 1");
    assertFalse(AnnexB.startsPicture(stream, units.get(2)), "not a slice");
  }

  @Test
  void encodedFrameIsIdrOnlyWhenAnIdrSliceIsPresent() {
    assertTrue(new EncodedFrame(bytes(0, 0, 0, 1, 0x67, 1, 0, 0, 1, 0x65, 0x88)).isIdr());
    assertFalse(new EncodedFrame(bytes(0, 0, 0, 1, 0x41, 0x9A)).isIdr());
    assertFalse(new EncodedFrame(bytes(0, 0, 0, 1, 0x06, 0x05, 0x65)).isIdr(),
        "a 0x65 byte inside an SEI is not a NAL header");
    assertEquals(2, new EncodedFrame(bytes(0, 0, 0, 1, 0x67, 1, 0, 0, 1, 0x65, 0x88))
        .nalUnits().size());
    assertThrows(NullPointerException.class, () -> new EncodedFrame(null));
  }
}
