#include "decoder/mp3_stream.h"

#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

#include "decoder/file_reader.h"
#include "decoder/replay_gain.h"
#include "decoder/track_tags.h"

namespace veldan {
namespace {

// Decode errors in a row that a damaged stretch may cause before the track counts as ended;
// each retry lets the decoder look for the next frame header.
constexpr int kMaxFailures = 16;

mpg123_ssize_t ReadFromReader(void* reader, void* dst, std::size_t count) {
  return static_cast<FileReader*>(reader)->Read(dst, count);
}

off_t SeekInReader(void* reader, off_t offset, int whence) {
  return static_cast<FileReader*>(reader)->Seek(offset, whence);
}

// How much of the audio's start the length estimate looks at: a few seconds at any bit rate.
constexpr std::size_t kSurveyBytes = 64 * 1024;
constexpr int kSurveyFrames = 200;

struct FrameHeader {
  int bitrate = 0;  // kbit/s
  int size = 0;     // bytes, header included
  int samples = 0;  // per channel
};

// Reads an MPEG audio frame header (layers I-III, MPEG 1, 2 and 2.5). False for anything else,
// free-format frames included (their size is not in the header).
bool ParseFrameHeader(const unsigned char* b, FrameHeader* out) {
  static constexpr int kBitrates[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static constexpr int kRates[3] = {44100, 48000, 32000};
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return false;
  const int version = (b[1] >> 3) & 3;      // 0: 2.5, 2: 2, 3: 1
  const int layer = 4 - ((b[1] >> 1) & 3);  // 1..3; 4 is reserved
  const int bitrate_index = b[2] >> 4;
  const int rate_index = (b[2] >> 2) & 3;
  if (version == 1 || layer == 4 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3)
    return false;
  const bool mpeg1 = version == 3;
  const int rate = kRates[rate_index] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const int padding = (b[2] >> 1) & 1;
  out->bitrate = kBitrates[mpeg1 ? 0 : 1][layer - 1][bitrate_index];
  const int bits_per_second = out->bitrate * 1000;
  if (layer == 1) {
    out->size = (12 * bits_per_second / rate + padding) * 4;
    out->samples = 384;
  } else {
    const bool half = layer == 3 && !mpeg1;
    out->size = (half ? 72 : 144) * bits_per_second / rate + padding;
    out->samples = half ? 576 : 1152;
  }
  return out->size > 4;
}

// What the first frames of the audio say: how many there were, their bytes, and whether their bit
// rates differ (a variable bit rate file without a header that says so).
struct FrameSurvey {
  int frames = 0;
  int64_t bytes = 0;
  int samples_per_frame = 0;
  bool varies = false;
};

FrameSurvey SurveyFrames(const FileReader& reader, off_t audio_start) {
  FrameSurvey survey;
  std::vector<unsigned char> block(kSurveyBytes);
  const ssize_t got = reader.ReadAt(block.data(), block.size(), audio_start);
  if (got <= 0) return survey;
  const auto end = static_cast<std::size_t>(got);
  std::size_t pos = 0;
  int first_bitrate = 0;
  FrameHeader frame;
  while (survey.frames < kSurveyFrames && pos + 4 <= end && ParseFrameHeader(&block[pos], &frame)) {
    if (pos + static_cast<std::size_t>(frame.size) > end) break;
    if (survey.frames == 0) {
      first_bitrate = frame.bitrate;
      survey.samples_per_frame = frame.samples;
    } else if (frame.samples != survey.samples_per_frame) {
      break;  // another stream: what follows is not this track's audio
    }
    survey.varies = survey.varies || frame.bitrate != first_bitrate;
    survey.bytes += frame.size;
    ++survey.frames;
    pos += static_cast<std::size_t>(frame.size);
  }
  return survey;
}

std::string_view MpgText(const mpg123_string* s) {
  if (s == nullptr || s->p == nullptr || s->fill == 0) return {};
  return std::string_view(s->p, strnlen(s->p, s->fill));
}

// Title or artist: ID3v2 when it has the field, else ID3v1.
std::string TagText(const mpg123_string* v2_text, const char* v1_field, std::size_t v1_size) {
  std::string text = Id3v2TextToProgramText(MpgText(v2_text));
  if (text.empty() && v1_field != nullptr) {
    text = Id3v1TextToProgramText(std::string_view(v1_field, v1_size));
  }
  return text;
}

// The tag bytes looked through for RVA2 peaks: enough for every frame but large pictures.
constexpr std::size_t kGainTagBytes = 256 * 1024;

// The peak a track's tags tell for one kind of gain: a TXXX REPLAYGAIN_*_PEAK, else an RVA2
// frame's; 0 when neither tells it.
double TaggedPeak(const mpg123_id3v2* v2, const FileReader& reader, bool album) {
  const std::string_view wanted = album ? "REPLAYGAIN_ALBUM_PEAK" : "REPLAYGAIN_TRACK_PEAK";
  for (std::size_t i = 0; v2 != nullptr && i < v2->extras; ++i) {
    const std::string_view name = MpgText(&v2->extra[i].description);
    const bool match = name.size() == wanted.size() &&
                       std::equal(name.begin(), name.end(), wanted.begin(), [](char a, char b) {
                         return (a >= 'a' && a <= 'z' ? a - 32 : a) == b;
                       });
    if (match) {
      const double peak = ParsePeak(MpgText(&v2->extra[i].text));
      if (peak > 0) return peak;
    }
  }
  std::vector<unsigned char> tag(kGainTagBytes);
  const ssize_t got = reader.ReadAt(tag.data(), tag.size(), 0);
  if (got <= 0) return 0;
  const GainPeaks peaks = Rva2Peaks(tag.data(), static_cast<std::size_t>(got));
  return album ? peaks.album : peaks.track;
}

// Lets libmpg123 scale every sample by the track's ReplayGain: the kind asked for, else the
// other one where the tags tell only that (a LAME tag holds a track gain alone), with a base
// volume below 1 where the peak would pass full scale. libmpg123 would limit a TXXX or LAME peak
// itself, but not an RVA2 one, and it says so on the terminal; so the gain is looked up under a
// base volume too low for any peak to pass, and the limit set here. No gain of either kind: the
// handle is left as it was (a gain of exactly 0 dB, or one beyond +-60 dB, counts as none).
// Returns the gain applied, in dB.
double ApplyReplayGain(mpg123_handle* h, GainMode mode, const mpg123_id3v2* v2,
                       const FileReader& reader) {
  constexpr double kLookUpVolume = 1e-6;
  double base = 1;
  double scale = 1;
  double gain_db = 0;
  bool album = mode == GainMode::kAlbum;
  mpg123_volume(h, kLookUpVolume);
  for (int attempt = 0; attempt < 2 && gain_db == 0; ++attempt) {
    if (attempt == 1) album = !album;
    mpg123_param2(h, MPG123_RVA, album ? MPG123_RVA_ALBUM : MPG123_RVA_MIX, 0.0);
    if (mpg123_getvolume(h, &base, &scale, &gain_db) != MPG123_OK) gain_db = 0;
  }
  if (gain_db == 0 || !std::isfinite(gain_db) || std::abs(gain_db) > 60) {
    mpg123_param2(h, MPG123_RVA, MPG123_RVA_OFF, 0.0);
    mpg123_volume(h, 1.0);
    return 0;
  }
  mpg123_volume(h, PeakLimit(gain_db, TaggedPeak(v2, reader, album)));
  if (mpg123_getvolume(h, &base, &scale, &gain_db) != MPG123_OK || !(scale > 0)) return 0;
  return 20.0 * std::log10(scale);
}

// A decoder handle reading through a reader of our own.
struct Decoder {
  ~Decoder() {
    if (handle != nullptr) {
      mpg123_close(handle);
      mpg123_delete(handle);
    }
  }
  // Opens host_path as the decoder of every track is opened; false when the file can't be read.
  bool Open(const std::string& host_path) {
    reader = FileReader::Open(host_path);
    if (!reader) return false;
    handle = mpg123_new(nullptr, nullptr);
    if (handle == nullptr) return false;
    // Fuzzy seeking lands a second or two early while claiming to be exact; it stays off.
    // Gapless decoding leaves out the encoder's delay and padding that the LAME header records,
    // so tracks cut from one recording join sample for sample.
    mpg123_param2(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_param2(handle, MPG123_REMOVE_FLAGS, MPG123_FUZZY, 0.0);
    return true;
  }
  bool Start() {
    return mpg123_replace_reader_handle(handle, ReadFromReader, SeekInReader, nullptr) ==
               MPG123_OK &&
           mpg123_open_handle(handle, reader.get()) == MPG123_OK;
  }
  std::unique_ptr<FileReader> reader;  // outlives the handle that reads through it
  mpg123_handle* handle = nullptr;
};

// How far a handle's seek index reaches in frames, and one entry's stride.
struct IndexReach {
  int64_t frames = 0;
  int64_t stride = 1;
};

IndexReach Reach(mpg123_handle* handle) {
  off_t* offsets = nullptr;
  off_t step = 0;
  std::size_t fill = 0;
  IndexReach reach;
  if (mpg123_index(handle, &offsets, &step, &fill) == MPG123_OK && step > 0) {
    reach.frames = static_cast<int64_t>(step) * static_cast<int64_t>(fill);
    reach.stride = step;
  }
  return reach;
}

// Frames the scout parses in one step: a few seconds of any track, a fraction of a millisecond
// from memory and one moderate read from a disc.
constexpr off_t kScoutFrames = 256;
// Steps it takes in one go while they are quick (the file is in memory).
constexpr auto kScoutBudget = std::chrono::milliseconds(2);

}  // namespace

struct Mp3Stream::Impl {
  Decoder decoder;
  std::string host_path;
  // The scout: a second decoder on the same file that runs ahead frame by frame, only to extend
  // the seek index, which is handed to the decoder before a seek it would otherwise have to
  // make by reading every frame up to the target.
  std::unique_ptr<Decoder> scout;
  off_t scout_frame = 0;
  bool index_complete = false;
  off_t audio_start =
      0;  // where the first frame begins  // nothing more to index, or no scout can be had
};

Mp3Stream::Mp3Stream(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Mp3Stream::~Mp3Stream() = default;

std::unique_ptr<Mp3Stream> Mp3Stream::Open(const std::string& host_path, GainMode gain) {
  [[maybe_unused]] static const bool initialized = (mpg123_init(), true);

  auto impl = std::make_unique<Impl>();
  impl->host_path = host_path;
  if (!impl->decoder.Open(host_path)) return nullptr;
  mpg123_handle* h = impl->decoder.handle;
  mpg123_format_none(h);
  const long* rates = nullptr;
  std::size_t rate_count = 0;
  mpg123_rates(&rates, &rate_count);
  for (std::size_t i = 0; i < rate_count; ++i) {
    mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  }
  if (!impl->decoder.Start()) return nullptr;
  // Opening succeeds on any bytes; only finding the first frame's format tells an MP3.
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
      (channels != 1 && channels != 2) || encoding != MPG123_ENC_FLOAT_32) {
    return nullptr;
  }
  mpg123_format_none(h);
  mpg123_format(h, rate, channels, MPG123_ENC_FLOAT_32);

  mpg123_frameinfo2 frame{};
  if (mpg123_info2(h, &frame) != MPG123_OK) return nullptr;

  std::unique_ptr<Mp3Stream> stream(new Mp3Stream(std::move(impl)));
  stream->rate_ = static_cast<int>(rate);
  stream->channels_ = channels;
  TrackFacts& facts = stream->facts_;
  facts.sample_rate = static_cast<int>(frame.rate);
  facts.channels = frame.mode == MPG123_M_MONO ? 1 : 2;

  mpg123_id3v1* v1 = nullptr;
  mpg123_id3v2* v2 = nullptr;
  if ((mpg123_meta_check(h) & MPG123_ID3) != 0) mpg123_id3(h, &v1, &v2);
  facts.title = TagText(v2 ? v2->title : nullptr, v1 ? v1->title : nullptr, sizeof v1->title);
  facts.artist = TagText(v2 ? v2->artist : nullptr, v1 ? v1->artist : nullptr, sizeof v1->artist);
  if (gain != GainMode::kOff) {
    facts.gain_db = ApplyReplayGain(h, gain, v2, *stream->impl_->decoder.reader);
  }

  // The length is exact when a Xing/LAME header tells it (every VBR header does, and a LAME
  // header records the encoder delay). Otherwise it is estimated from the average size of the
  // first frames and the size of the file, which is close for a constant bit rate and fair for a
  // variable one; reading the whole file to count its frames would take seconds off a hard disk.
  long encoder_delay = -1;
  double unused = 0;
  mpg123_getstate(h, MPG123_ENC_DELAY, &encoder_delay, &unused);
  const bool told = frame.vbr != MPG123_CBR || encoder_delay >= 0;
  const off_t audio_start = mpg123_framepos(h) > 0 ? mpg123_framepos(h) : 0;
  stream->impl_->audio_start = audio_start;
  stream->impl_->decoder.reader->EndAtLongZeroRuns(audio_start);
  const off_t audio_bytes =
      stream->impl_->decoder.reader->size() - audio_start - (v1 != nullptr ? 128 : 0);
  off_t samples = mpg123_length(h);
  FrameSurvey survey;
  if (!told) {
    survey = SurveyFrames(*stream->impl_->decoder.reader, audio_start);
    if (survey.frames >= 2 && audio_bytes > 0) {
      const double frame_bytes = static_cast<double>(survey.bytes) / survey.frames;
      samples = static_cast<off_t>(std::llround(static_cast<double>(audio_bytes) / frame_bytes)) *
                survey.samples_per_frame;
    }
  }
  stream->length_frames_ = samples >= 0 ? samples : -1;
  if (samples >= 0)
    facts.length = static_cast<int>(std::llround(static_cast<double>(samples) / rate));

  // The header's bit rate is the first frame's; for VBR the average over the audio is shown.
  facts.bitrate = frame.bitrate;
  if (samples > 0 && audio_bytes > 0) {
    double average = audio_bytes * 8.0 * rate / static_cast<double>(samples) / 1000.0;
    bool variable = frame.vbr != MPG123_CBR || frame.bitrate <= 0 || survey.varies;
    if (variable && average < 1e6) facts.bitrate = static_cast<int>(std::lround(average));
  }
  return stream;
}

int64_t Mp3Stream::SeekFrame(int64_t frame) {
  if (length_frames_ >= 0 && frame > length_frames_) frame = length_frames_;
  if (frame < 0) frame = 0;
  // A stream that has not decoded anything yet is at its start already; seeking there anyway
  // would restart the decoder, whose first samples then differ in the last bits.
  if (frame == 0 && untouched_) return 0;
  untouched_ = false;
  AdoptScoutIndex();
  off_t pos = mpg123_seek(impl_->decoder.handle, static_cast<off_t>(frame), SEEK_SET);
  ended_ = pos < 0;
  failures_ = 0;
  return pos < 0 ? -1 : pos;
}

std::size_t Mp3Stream::Read(float* out, std::size_t max_frames) {
  if (ended_) return 0;
  untouched_ = false;
  const std::size_t frame_bytes = static_cast<std::size_t>(channels_) * sizeof(float);
  const std::size_t want = max_frames * frame_bytes;
  auto* bytes = reinterpret_cast<unsigned char*>(out);
  std::size_t got = 0;
  while (got < want) {
    std::size_t done = 0;
    int rc = mpg123_read(impl_->decoder.handle, bytes + got, want - got, &done);
    got += done;
    if (done > 0) failures_ = 0;
    if (rc == MPG123_DONE) {
      ended_ = true;
      break;
    }
    bool progress = done > 0 && (rc == MPG123_OK || rc == MPG123_NEW_FORMAT);
    if (progress) continue;
    // No sound this time: a damaged stretch (the decoder resyncs on the next call) or a stall.
    // A read error or a lost file is final; anything else gets a bounded number of retries.
    int code = rc == MPG123_ERR ? mpg123_errcode(impl_->decoder.handle) : MPG123_OK;
    if (code == MPG123_ERR_READER || code == MPG123_OUT_OF_MEM || ++failures_ > kMaxFailures) {
      ended_ = true;
      break;
    }
  }
  return got / frame_bytes;
}

bool Mp3Stream::IndexAhead() {
  Impl& impl = *impl_;
  if (impl.index_complete) return false;
  const auto until = std::chrono::steady_clock::now() + kScoutBudget;
  do {
    if (!impl.scout) {
      auto scout = std::make_unique<Decoder>();
      bool opened = scout->Open(impl.host_path);
      if (opened) {
        scout->reader->EndAtLongZeroRuns(impl.audio_start);
        mpg123_format_none(scout->handle);
        mpg123_format(scout->handle, rate_, channels_, MPG123_ENC_FLOAT_32);
        opened = scout->Start();
      }
      if (!opened) {
        impl.index_complete = true;
        return false;
      }
      impl.scout = std::move(scout);
    }
    // A seek past the end reports the target as reached; only an index that stops growing
    // tells the end (each step is at least one entry's stride, as the index thins out on
    // long tracks).
    const IndexReach before = Reach(impl.scout->handle);
    const off_t target = impl.scout_frame + std::max<off_t>(kScoutFrames, before.stride);
    const off_t reached = mpg123_seek_frame(impl.scout->handle, target, SEEK_SET);
    if (reached < 0 || Reach(impl.scout->handle).frames <= before.frames) {
      AdoptScoutIndex();
      impl.scout.reset();
      impl.index_complete = true;
      return false;
    }
    impl.scout_frame = reached;
  } while (std::chrono::steady_clock::now() < until);
  return true;
}

void Mp3Stream::AdoptScoutIndex() {
  Impl& impl = *impl_;
  if (!impl.scout) return;
  mpg123_handle* own = impl.decoder.handle;
  mpg123_handle* scout = impl.scout->handle;
  if (Reach(scout).frames <= Reach(own).frames) return;
  off_t* own_offsets = nullptr;
  off_t* offsets = nullptr;
  off_t own_step = 0, step = 0;
  std::size_t own_fill = 0, fill = 0;
  if (mpg123_index(own, &own_offsets, &own_step, &own_fill) != MPG123_OK ||
      mpg123_index(scout, &offsets, &step, &fill) != MPG123_OK || step <= 0) {
    return;
  }
  // Both parse the same bytes the same way; should a frame still sit elsewhere for the two
  // (a damaged stretch read apart), the scout's index is not to be trusted.
  for (std::size_t i = 0; i < own_fill; ++i) {
    const off_t frame = static_cast<off_t>(i) * own_step;
    const auto j = static_cast<std::size_t>(frame / step);
    if (frame % step == 0 && j < fill && offsets[j] != own_offsets[i]) {
      impl.scout.reset();
      impl.index_complete = true;
      return;
    }
  }
  mpg123_set_index(own, offsets, step, fill);
}

}  // namespace veldan
