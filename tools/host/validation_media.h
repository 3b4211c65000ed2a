// The files the validator loads, written at run time into a fresh temporary folder so that a
// user can validate an installed plug-in without our test data: a long and a short layer I tone
// (no encoder needed), random bytes, an empty file and a tone cut in the middle of a frame. The
// folder and its files are removed again on destruction.
#pragma once

#include <cstdint>
#include <string>

namespace vintrove::testhost {

class ValidationMedia {
 public:
  // longSeconds: the playing time of the long tone at 44100 Hz.
  explicit ValidationMedia(double longSeconds);
  ~ValidationMedia();
  ValidationMedia(const ValidationMedia&) = delete;
  ValidationMedia& operator=(const ValidationMedia&) = delete;

  bool ready() const { return ready_; }
  // Windows paths, for the file dialog.
  const std::string& longTone() const { return longTone_; }
  const std::string& shortTone() const { return shortTone_; }
  const std::string& randomBytes() const { return randomBytes_; }
  const std::string& emptyFile() const { return empty_; }
  const std::string& truncatedTone() const { return truncated_; }
  // Decoded frames of the long tone and the largest absolute sample of every tone written.
  std::int32_t longToneFrames() const { return longToneFrames_; }
  float peak() const { return peak_; }

 private:
  std::string folder_;
  std::string longTone_, shortTone_, randomBytes_, empty_, truncated_;
  std::int32_t longToneFrames_ = 0;
  float peak_ = 0.0f;
  bool ready_ = false;
};

}  // namespace vintrove::testhost
