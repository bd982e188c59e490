package tq.brindlecast.openh264.mp4;

/**
 * One sample of a video track: one access unit, a picture's NAL units. Times are in the track's
 * timescale ({@link Mp4Track#timescale()}).
 *
 * @param index the sample's place in decode order, from 0
 * @param offset where its bytes start in the file
 * @param size how many bytes it has in the file
 * @param decodeTime when it is decoded
 * @param presentationTime when its picture is shown: the decode time plus the composition offset,
 *     moved by the track's edit list so that the first picture shown is at 0; pictures the edit
 *     list leaves out get negative times
 * @param duration its decode duration, until the next sample's decode time
 * @param sync whether decoding can start here (a key frame)
 */
public record Mp4Sample(
    int index,
    long offset,
    int size,
    long decodeTime,
    long presentationTime,
    long duration,
    boolean sync) {}
