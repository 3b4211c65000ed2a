// Hostile frames and files built from their description, for the loader's tests, our host's
// end-to-end run and the fuzzer's seeds. The frame an attacker writes to make libmad read past
// a frame: MPEG-1 layer III, 44.1 kHz, 128 kbit/s, stereo, 417 bytes, main_data_begin 0; the
// part2_3_length fields of its four granule channels add up to exactly its 381 bytes of main
// data (1016 bits for each of the first three, 0 for the last), so the sum is within the frame;
// the last has short blocks (block type 2, not mixed) and scalefac_compress 15, whose
// scalefactors take 126 bits. A decoder that reads them before it checks part2_3_length reads
// 16 bytes beyond the frame's end.
#pragma once

#include <cstddef>
#include <vector>

#include "frame_writer.h"

namespace vintrove::test {

// The frame described above; with hostile false the last granule has scalefac_compress 0 (no
// scalefactor bits), a legal frame that decodes to 1152 frames of silence.
Layer3Frame scalefactorsPastTheFrame(bool hostile = true);
FrameBytes scalefactorsPastTheFrameBytes(bool hostile = true);

// The same attack on the MPEG-2 (LSF) layout, as the structure-aware fuzzer found it: layer III,
// 22.05 kHz, 160 kbit/s, 522 bytes, joint stereo with intensity stereo; one granule of short
// blocks, whose first channel takes all 4008 bits of main data and whose second has
// part2_3_length 0 and scalefac_compress 274, whose intensity positions take 144 bits (lengths 3, 4 and 5 over
// 12 bands each): 18 bytes past the frame's end.
Layer3Frame lsfScalefactorsPastTheFrame();

inline constexpr std::size_t kPageBytes = 4096;

// `audio` (whole frames) followed by the frame above, in a file of exactly one page: an ID3v2
// tag in front fills what the frames leave, and 8 zero bytes follow the frame, so that a
// decoder reads it straight from the file's mapping. Empty when the frames take too much.
FrameBytes pageWithTheFrameLast(const FrameBytes& audio = {}, bool hostile = true);

}  // namespace vintrove::test
