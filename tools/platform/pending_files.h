// The temporary files of writes in progress, kept where an interrupt handler
// can remove them: a signal handler on POSIX systems, a console control
// handler (its own thread) on Windows. Both platforms' files use this one
// registry over their own kind of name (char or wchar_t).
//
// A fixed array of slots, one per write in progress, each an atomic pointer
// to a name the writer owns. The handler never allocates, locks or waits.
// Once an interrupt has begun, a writer no longer frees a name it takes back,
// so the handler can never read a freed one; the process is ending then.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace oxa::xmlc::platform {

template <typename Char>
class PendingFiles {
 public:
  // More than the most workers xmlc runs, each writing one file at a time.
  static constexpr std::size_t kSlots = 512;

  // Keeps a copy of `name` for the handler; returns its slot, or kSlots when
  // every slot is taken or memory is short (the file is then not removed on
  // an interrupt).
  std::size_t Add(const std::basic_string<Char>& name) noexcept {
    std::basic_string<Char>* copy = nullptr;
    try {
      copy = new std::basic_string<Char>(name);
    } catch (...) {
      return kSlots;
    }
    for (std::size_t i = 0; i < kSlots; ++i) {
      std::basic_string<Char>* empty = nullptr;
      if (slots_[i].compare_exchange_strong(empty, copy)) return i;
    }
    delete copy;
    return kSlots;
  }

  // Forgets the file of `slot` (renamed or removed by the writer).
  void Remove(std::size_t slot) noexcept {
    if (slot >= kSlots) return;
    std::basic_string<Char>* name = slots_[slot].exchange(nullptr);
    if (!interrupted_.load()) delete name;
  }

  // From the handler: removes every pending file with `remove`.
  template <typename RemoveFn>
  void RemoveAll(RemoveFn remove) {
    interrupted_.store(true);
    for (auto& slot : slots_) {
      if (const std::basic_string<Char>* name = slot.load()) remove(name->c_str());
    }
  }

 private:
  std::atomic<std::basic_string<Char>*> slots_[kSlots] = {};
  std::atomic<bool> interrupted_{false};
};

// For the interrupt tests: with XMLC_TEST_HOLD_WRITE set in the environment,
// a write whose temporary file exists says so on standard error and waits
// for the interrupt instead of finishing.
inline void HoldForInterruptTest(const std::string& target) {
  if (std::getenv("XMLC_TEST_HOLD_WRITE") == nullptr) return;
  std::fprintf(stderr, "xmlc: holding the write of %s\n", target.c_str());
  std::fflush(stderr);
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

}  // namespace oxa::xmlc::platform
