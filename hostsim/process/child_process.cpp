// What the parent and the child do alike on every platform: the messages
// between them and the child's running of the work under its memory limit.
#include "hostsim/process/child_process.h"

#include <atomic>
#include <mutex>
#include <new>
#include <stdexcept>

#include "hostsim/process/child_channel.h"

namespace hostsim::child_channel {

namespace {

void FormatHeader(char type, std::size_t size, char* header) {
  header[0] = type;
  for (int digit = 0; digit < 8; ++digit) header[8 - digit] = "0123456789abcdef"[(size >> (4 * digit)) & 0xF];
}

std::mutex g_sending;

void Send(char type, const std::string& payload) {
  std::string message(kHeaderSize, '\0');
  FormatHeader(type, payload.size(), &message[0]);
  message += payload;
  const std::lock_guard<std::mutex> lock(g_sending);
  WriteAll(message.data(), message.size());
}

class PipeReporter : public ChildReporter {
 public:
  void Note(const std::string& note) override { Send(kNoteMessage, note); }
};

std::atomic<std::uint64_t> g_memoryBaseline{0};
std::atomic<std::uint64_t> g_memoryLimit{0};  // 0 until the limit is in force

void OnAllocationFailure() { EndOverMemory(); }

}  // namespace

void MessageReader::Add(const char* data, std::size_t size) {
  buffer_.append(data, size);
  std::size_t at = 0;
  while (buffer_.size() - at >= kHeaderSize) {
    std::size_t length = 0;
    for (std::size_t digit = 1; digit < kHeaderSize; ++digit) {
      const char c = buffer_[at + digit];
      const int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (value < 0) {
        // Not our framing: nothing after this can be trusted.
        garbled = true;
        buffer_.clear();
        return;
      }
      length = length * 16 + static_cast<std::size_t>(value);
    }
    if (buffer_.size() - at - kHeaderSize < length) break;
    const std::string payload = buffer_.substr(at + kHeaderSize, length);
    switch (buffer_[at]) {
      case kNoteMessage:
        note = payload;
        ++notes;
        if (onNote) onNote(note);
        break;
      case kResultMessage:
        result = payload;
        finished = true;
        break;
      case kCrashMessage:
        if (cause.empty()) cause = payload;
        break;
      case kMemoryMessage: memory = true; break;
      default: garbled = true; break;
    }
    at += kHeaderSize + length;
  }
  buffer_.erase(0, at);
}

ChildMessages::ChildMessages(const std::function<void(const std::string& note)>& onNote, double seconds)
    : limit_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds))),
      deadline_(std::chrono::steady_clock::now() + limit_) {
  reader.onNote = onNote;
}

void ChildMessages::Add(const char* data, std::size_t size) {
  reader.Add(data, size);
  if (reader.notes == notes_) return;
  notes_ = reader.notes;
  deadline_ = std::chrono::steady_clock::now() + limit_;
}

long long ChildMessages::MillisecondsLeft() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now()).count();
}

ChildOutcome Classify(const MessageReader& reader, bool timedOut) {
  ChildOutcome outcome;
  outcome.note = reader.note;
  if (reader.finished) {
    outcome.end = ChildEnd::Finished;
    outcome.result = reader.result;
  } else if (reader.memory) {
    outcome.end = ChildEnd::OutOfMemory;
  } else if (!reader.cause.empty()) {
    outcome.end = ChildEnd::Crashed;
    outcome.cause = reader.cause;
  } else {
    outcome.end = timedOut ? ChildEnd::TimedOut : ChildEnd::Crashed;
  }
  return outcome;
}

void SendRaw(char type, const char* payload) {
  char message[96];
  std::size_t size = 0;
  while (payload[size] != '\0' && size < sizeof message - kHeaderSize) ++size;
  FormatHeader(type, size, message);
  for (std::size_t at = 0; at < size; ++at) message[kHeaderSize + at] = payload[at];
  WriteAll(message, kHeaderSize + size);
}

std::uint64_t MemoryBaseline() { return g_memoryBaseline.load(); }

bool PastMemoryLimit() {
  const std::uint64_t limit = g_memoryLimit.load();
  return limit != 0 && MemoryInUse() >= g_memoryBaseline.load() + limit;
}

void EndOverMemory() {
  {
    const std::lock_guard<std::mutex> lock(g_sending);
    SendRaw(kMemoryMessage, "");
  }
  EndChild(kMemoryExit);
}

void StartMemoryLimit(std::uint64_t memoryMiB) {
  g_memoryBaseline = MemoryInUse();
  g_memoryLimit = memoryMiB << 20;
  std::set_new_handler(OnAllocationFailure);
}

void RunWork(const ChildWork& work, const std::string& request) {
  PipeReporter reporter;
  std::string result;
  try {
    result = work(request, reporter);
  } catch (const std::bad_alloc&) {
    EndOverMemory();
  } catch (const std::exception& error) {
    // An exception out of a module's command would take the host down with it.
    Send(kCrashMessage, std::string("exception: ") + error.what());
    EndChild(kCrashExit);
  } catch (...) {
    Send(kCrashMessage, "exception");
    EndChild(kCrashExit);
  }
  Send(kResultMessage, result);
  EndChild(0);
}

}  // namespace hostsim::child_channel
