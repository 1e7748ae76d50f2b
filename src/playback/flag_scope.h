// Holds a flag set for as long as a scope runs: the player's controller guards with it against
// operations and polls that run inside one another while messages are let through.
//
// User-interface thread only.
#pragma once

namespace veldan {

class FlagScope {
 public:
  explicit FlagScope(bool* flag) : flag_(flag) { *flag_ = true; }
  ~FlagScope() { *flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool* flag_;
};

}  // namespace veldan
