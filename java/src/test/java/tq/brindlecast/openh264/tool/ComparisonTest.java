package tq.brindlecast.openh264.tool;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.I420Picture;

class ComparisonTest {
  private static I420Picture picture(int t) {
    return TestPattern.render(32, 32, t);
  }

  @Test
  void heldBackAndLostPicturesArePairedWithTheirOwnSources() {
    Comparison comparison = new Comparison();
    comparison.sent(picture(0));
    comparison.sent(picture(1)); // held back by the decoder for now
    comparison.received(picture(0));
    // picture 2 was skipped by rate control: never sent
    comparison.sent(picture(3));
    comparison.lost(); // picture 3 failed to decode
    comparison.sent(picture(4));
    comparison.received(picture(1));
    comparison.received(picture(4));
    assertEquals(0, comparison.waiting());
    assertEquals(3, comparison.psnr().pictures());
    assertTrue(Double.isInfinite(comparison.psnr().combined()), "every pair matched exactly");
  }

  @Test
  void morePicturesOutThanInIsAnError() {
    Comparison comparison = new Comparison();
    comparison.sent(picture(0));
    comparison.received(picture(0));
    assertThrows(IllegalStateException.class, () -> comparison.received(picture(1)));
  }
}
