package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Random;
import java.util.function.BiFunction;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.bitstream.AccessUnitReader;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.NalUnit;

/**
 * Twenty thousand mutated streams (bit flips, truncation, duplicated and dropped NAL units, random
 * bytes) on the real OpenH264, from a fixed seed. Nothing crashes, a call that returns no picture
 * writes none of its out-arrays, and after every mutated stream a clean IDR access unit clears the
 * key-frame request and gives back its exact picture.
 *
 * <p>OpenH264 2.3.1 loses the first IDR picture after some damage to a stream of several slices
 * per picture (a picture cut short before its last slice, for example): that call fails, and the
 * next IDR picture decodes. Such cases get a second IDR access unit, and must stay rare.
 */
@Tag("release-matrix")
class MutatedStreamTest {
  private static final long SEED = 20240611L;
  private static final int CASES = 20_000;
  private static final int CASES_PER_DECODER = 200;
  private static final int W = 96;
  private static final int H = 64;
  private static final int SENTINEL = 0x5A5A5A5A;

  /** A clean stream, its first access unit (IDR with parameter sets) and that unit's picture. */
  private record Source(String name, List<byte[]> units, byte[] idrPicture) {
    static Source of(String name, List<byte[]> units) {
      assertTrue(SliceHeaders.isIdr(units.get(0)), name);
      try (DecoderRun run = new DecoderRun()) {
        byte[] picture = run.decode(units.get(0));
        List<byte[]> held = run.drain();
        picture = picture != null ? picture : held.isEmpty() ? null : held.get(0);
        assertNotNull(picture, name);
        return new Source(name, units, picture);
      }
    }
  }

  private static List<byte[]> ownStream(EncoderConfig config, SpatialLayerConfig layer) {
    List<byte[]> units = new ArrayList<>();
    try (H264Encoder encoder = new H264Encoder(config, List.of(layer), null)) {
      for (int frame = 0; frame < 24; frame++) {
        units.add(encoder.encode(H264EncoderTest.picture(W, H, frame)).data());
      }
    }
    return units;
  }

  private static List<Source> sources() throws Exception {
    EncoderConfig own = new EncoderConfig().setEnableFrameSkip(false).setIntraPeriod(8);
    return List.of(
        Source.of("cavlc", ownStream(own, new SpatialLayerConfig())),
        Source.of("cabac-3-slices",
            ownStream(own.copy().setEntropyCodingModeFlag(true),
                new SpatialLayerConfig().setSliceMode(SliceMode.FIXED_SLICE_NUMBER)
                    .setSliceNum(3))),
        Source.of("x264-high",
            StreamSamples.make(FfmpegTool.workDir("mutated-streams"), "x264-high", W, H, 24,
                "-profile:v", "high", "-x264-params",
                "keyint=8:min-keyint=8:scenecut=0:bframes=0:slices=2").accessUnits()));
  }

  // Mutations of a stretch of clean stream.

  private static byte[] flipBits(byte[] data, Random random) {
    byte[] flipped = data.clone();
    for (int i = 1 + random.nextInt(16); i > 0; i--) {
      flipped[random.nextInt(flipped.length)] ^= (byte) (1 << random.nextInt(8));
    }
    return flipped;
  }

  private static byte[] truncate(byte[] data, Random random) {
    return Arrays.copyOf(data, random.nextInt(data.length));
  }

  private static byte[] overwriteBytes(byte[] data, Random random) {
    byte[] damaged = data.clone();
    int length = 1 + random.nextInt(Math.min(64, damaged.length));
    int from = random.nextInt(damaged.length - length + 1);
    for (int i = from; i < from + length; i++) {
      damaged[i] = (byte) random.nextInt(256);
    }
    return damaged;
  }

  /** NAL units of random type and random payload, the one mutation that needs no stream. */
  private static byte[] randomNalUnits(byte[] unused, Random random) {
    List<byte[]> units = new ArrayList<>();
    for (int i = 1 + random.nextInt(4); i > 0; i--) {
      byte[] unit = new byte[1 + random.nextInt(200)];
      random.nextBytes(unit);
      unit[0] = (byte) ((random.nextInt(4) << 5) | random.nextInt(32));
      units.add(unit);
    }
    return join(units);
  }

  private static byte[] duplicateNalUnits(byte[] data, Random random) {
    List<byte[]> units = nalUnits(data);
    for (int i = 1 + random.nextInt(3); i > 0; i--) {
      units.add(random.nextInt(units.size() + 1), units.get(random.nextInt(units.size())));
    }
    return join(units);
  }

  private static byte[] dropNalUnits(byte[] data, Random random) {
    List<byte[]> units = nalUnits(data);
    for (int i = 1 + random.nextInt(3); i > 0 && units.size() > 1; i--) {
      units.remove(random.nextInt(units.size()));
    }
    return join(units);
  }

  private static final List<BiFunction<byte[], Random, byte[]>> MUTATIONS =
      List.of(
          MutatedStreamTest::flipBits,
          MutatedStreamTest::truncate,
          MutatedStreamTest::overwriteBytes,
          MutatedStreamTest::randomNalUnits,
          MutatedStreamTest::duplicateNalUnits,
          MutatedStreamTest::dropNalUnits);

  /** The NAL units of an Annex B stream, without start codes. */
  private static List<byte[]> nalUnits(byte[] stream) {
    List<byte[]> units = new ArrayList<>();
    for (NalUnit unit : AnnexB.nalUnits(stream)) {
      units.add(Arrays.copyOfRange(stream, unit.offset(), unit.offset() + unit.length()));
    }
    return units;
  }

  private static byte[] join(List<byte[]> nalUnits) {
    ByteArrayOutputStream stream = new ByteArrayOutputStream();
    for (byte[] unit : nalUnits) {
      stream.writeBytes(new byte[] {0, 0, 0, 1});
      stream.writeBytes(unit);
    }
    return stream.toByteArray();
  }

  /** The damaged stream cut the way a receiver might hand it over. */
  private static List<byte[]> buffers(byte[] damaged, Random random) {
    switch (random.nextInt(3)) {
      case 0:
        return AccessUnitReader.split(damaged);
      case 1:
        return List.of(damaged);
      default:
        List<byte[]> chunks = new ArrayList<>();
        for (int from = 0; from < damaged.length; ) {
          int to = Math.min(damaged.length, from + 1 + random.nextInt(400));
          chunks.add(Arrays.copyOfRange(damaged, from, to));
          from = to;
        }
        return chunks;
    }
  }

  /**
   * Decodes one damaged buffer. A picture must describe itself consistently; no picture means the
   * out-arrays were left alone. Returns whether the call raised the key-frame request.
   */
  private static boolean decodeDamaged(DecoderRun run, byte[] buffer) {
    int[][] out = {run.width, run.height, run.strides, run.planeSizes, run.planeCount};
    for (int[] array : out) {
      Arrays.fill(array, SENTINEL);
    }
    byte[] picture = run.decodeRaw(buffer, buffer.length);
    if (picture == null) {
      for (int[] array : out) {
        assertTrue(Arrays.stream(array).allMatch(v -> v == SENTINEL), "no picture, no writes");
      }
    } else {
      assertTrue(run.width[0] > 0 && run.height[0] > 0 && run.strides[0] >= run.width[0]);
      assertEquals(3, run.planeCount[0]);
      assertEquals(picture.length, run.planeSizes[0] + run.planeSizes[1] + run.planeSizes[2]);
    }
    return run.needsKeyFrame() != 0;
  }

  @Test
  void everyMutatedStreamIsSurvivedAndTheNextIdrPictureDecodes() throws Exception {
    List<Source> sources = sources();
    Random random = new Random(SEED);
    int raisedRequest = 0;
    int secondIdr = 0;
    DecoderRun run = null;
    try {
      for (int c = 0; c < CASES; c++) {
        if (c % CASES_PER_DECODER == 0) {
          // A fresh decoder meets damage before it has seen any key frame.
          if (run != null) {
            run.close();
          }
          run = new DecoderRun();
        }
        Source source = sources.get(c % sources.size());
        int first = random.nextInt(source.units().size());
        int last = Math.min(source.units().size(), first + 1 + random.nextInt(6));
        byte[] clean = join(source.units().subList(first, last).stream()
            .flatMap(unit -> nalUnits(unit).stream()).toList());
        int mutation = (c / sources.size()) % MUTATIONS.size(); // every pairing occurs
        byte[] damaged = MUTATIONS.get(mutation).apply(clean, random);
        boolean raised = false;
        for (byte[] buffer : buffers(damaged, random)) {
          raised |= decodeDamaged(run, buffer);
        }
        raisedRequest += raised ? 1 : 0;

        String what = "case " + c + " (" + source.name() + ")";
        List<byte[]> pictures = new ArrayList<>();
        pictures.add(run.decode(source.units().get(0)));
        if (run.needsKeyFrame() != 0) {
          secondIdr++;
          pictures.add(run.decode(source.units().get(0)));
        }
        assertEquals(0L, run.needsKeyFrame(), what + ": the IDR picture clears the request");
        // A picture held back from the damaged stretch may come out next to it.
        pictures.addAll(run.drain());
        assertTrue(pictures.stream().anyMatch(p -> Arrays.equals(p, source.idrPicture())),
            what + ": the exact IDR picture comes back");
      }
    } finally {
      if (run != null) {
        run.close();
      }
    }
    assertTrue(raisedRequest > CASES / 4, "only " + raisedRequest + " cases raised the request");
    assertTrue(secondIdr < CASES / 100, secondIdr + " cases needed a second IDR picture");
  }
}
