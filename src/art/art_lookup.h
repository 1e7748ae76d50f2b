// ArtFinder on a thread of its own, so that a slow disc never delays a track change.
//
// Request, TakeAnswer and the destructor are called from one thread (the user-interface thread).
// Request returns at once; only the latest request is answered: a newer one drops the answer of
// an older one and cuts its lookup short at its next step. The answer is there for TakeAnswer,
// and goes to the callback too, which runs on the lookup's own thread (a Qt caller posts it to
// its own thread, or polls TakeAnswer from its timer instead). The destructor ends the lookup at
// its next step and joins the thread; it waits at most for one file operation in progress.
// The threads are described at the top of art_lookup.cpp.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "art/art_finder.h"

namespace veldan {

struct ArtAnswer {
  std::uint64_t request = 0;  // as Request returned it
  std::string track;          // host path
  std::string uri;            // empty for no picture
};

class ArtLookup {
 public:
  using Callback = std::function<void(const ArtAnswer&)>;

  explicit ArtLookup(ArtSettings settings, Callback on_answer = nullptr);
  ~ArtLookup();
  ArtLookup(const ArtLookup&) = delete;
  ArtLookup& operator=(const ArtLookup&) = delete;

  // Asks for the picture of the track at host path; returns the request's number (from 1 up).
  std::uint64_t Request(std::string track_host_path);

  // The answer to the latest request, once: true and *answer set when it has come and was not
  // taken yet; false while it is being looked up.
  bool TakeAnswer(ArtAnswer* answer);

 private:
  struct Pending {
    std::uint64_t request;
    std::string track;
  };

  void Run();

  const Callback on_answer_;  // immutable; called on the lookup thread, no lock held

  // The lookup thread only.
  ArtFinder finder_;

  // Set by the requesting thread to end the lookup in progress early; read by the lookup thread.
  std::atomic<bool> abandon_{false};

  // Guarded by mutex_.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::uint64_t latest_ = 0;
  std::optional<Pending> pending_;
  std::optional<ArtAnswer> answer_;
  bool stop_ = false;

  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace veldan
