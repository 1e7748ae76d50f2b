// Two threads: the requesting thread (the user-interface thread) and the lookup thread, which
// owns the ArtFinder with its memory of folders and does every file operation.
//
// One mutex guards the pending request, the latest answer, the latest request number and the
// stop flag. A request replaces the pending one and raises abandon_, which the finder reads
// between its steps, so that a lookup for a track already left behind ends early; the lookup
// thread lowers it when it takes the next request, under the mutex. An answer is kept only
// when no newer request came while it was looked up (its number is still the latest); the
// callback is called with the mutex released, so it may call Request.
#include "art/art_lookup.h"

#include <utility>

namespace veldan {

ArtLookup::ArtLookup(ArtSettings settings, Callback on_answer)
    : on_answer_(std::move(on_answer)), finder_(std::move(settings)), thread_([this] { Run(); }) {}

ArtLookup::~ArtLookup() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    abandon_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

std::uint64_t ArtLookup::Request(std::string track_host_path) {
  std::uint64_t request;
  {
    std::lock_guard lock(mutex_);
    request = ++latest_;
    pending_ = Pending{request, std::move(track_host_path)};
    answer_.reset();
    abandon_ = true;
  }
  wake_.notify_one();
  return request;
}

bool ArtLookup::TakeAnswer(ArtAnswer* answer) {
  std::lock_guard lock(mutex_);
  if (!answer_) return false;
  *answer = std::move(*answer_);
  answer_.reset();
  return true;
}

void ArtLookup::Run() {
  for (;;) {
    Pending pending;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || pending_.has_value(); });
      if (stop_) return;
      pending = std::move(*pending_);
      pending_.reset();
      abandon_ = false;
    }
    ArtAnswer answer{pending.request, pending.track, finder_.FindArtUri(pending.track, &abandon_)};
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      if (answer.request != latest_) continue;  // overtaken: the newer request is answered
      answer_ = answer;
    }
    if (on_answer_) on_answer_(answer);
  }
}

}  // namespace veldan
