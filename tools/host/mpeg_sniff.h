// Whether a file's bytes hold MPEG audio, so that a silent play can be told apart from a file
// that was never audio: two consecutive frame headers that agree, after an optional ID3v2 tag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vintrove::testhost {

// How much of a file's start (after its ID3v2 tag) is searched for the first frame.
inline constexpr std::size_t kMpegSniffWindow = 64 * 1024;

bool holdsMpegAudio(const std::uint8_t* bytes, std::size_t size);

enum class FileVerdict { kMpegAudio, kNotMpegAudio, kCannotOpen };

// Reads the search window after the file's ID3v2 tag; `error` gets the C library's reason when
// the file cannot be opened or read.
FileVerdict sniffMpegFile(const std::string& path, std::string& error);

}  // namespace vintrove::testhost
