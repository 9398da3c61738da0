#include "modem/modem_control.h"

#include "settings/global_settings.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iterator>

namespace quelto {

namespace {

std::atomic<bool> modemStarted{false};

constexpr int kNoInputDeviceRetryMs = 1000;
constexpr int kEmptySendPassMs = 10;
// The hold is played in pieces of 20 ms, so that text typed during it joins
// the transmission within a piece.
constexpr int kHoldPieceSamples = kTextOutputRate / 50;

// The modem must read every input block before the card's buffers fill; ask
// for the highest real-time priority and carry on without it when refused.
void raisePriority() {
  sched_param param{};
  param.sched_priority = sched_get_priority_max(SCHED_FIFO);
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

}  // namespace

std::mutex& modemMutex() {
  static std::mutex mutex;
  return mutex;
}

static_assert(setting::kStartBitThreshold.defaultValue == FramingConfig{}.startBitThreshold &&
              setting::kStopBitThreshold.defaultValue == FramingConfig{}.stopBitThreshold &&
              setting::kRestartCount.defaultValue == FramingConfig{}.restartCount);

FramingConfig framingConfigFromSettings() {
  FramingConfig f;
  f.startBitThreshold = readSetting(setting::kStartBitThreshold);
  f.stopBitThreshold = readSetting(setting::kStopBitThreshold);
  f.restartCount = readSetting(setting::kRestartCount);
  return f;
}

ReceiverKind receiverKindFromSettings() {
  return receiverKindFromName(readSetting(setting::kReceiver)).value_or(kDefaultReceiver);
}

bool carrierHoldFromSettings() {
  return readSetting(setting::kCarrierHold);
}

// The modem thread: owns the sound stream and the FskModem.
class ModemControl::Thread {
 public:
  Thread(ModemControl& control, SoundDevice& device, ModemThreadOptions options)
      : control_(control), device_(device), options_(std::move(options)) {
    thread_ = std::thread([this] { run(); });
  }

  ~Thread() {
    {
      std::lock_guard<std::mutex> lock(stopMutex_);
      stop_ = true;
    }
    stopSignal_.notify_all();
    thread_.join();
  }

 private:
  enum class PassKind { Listen, Dial, Send, Announce };

  void setState(ModemState s) { control_.state = static_cast<std::uint8_t>(s); }

  // Sleeps, but wakes at once when the thread is asked to stop.
  void sleepMs(int ms) {
    std::unique_lock<std::mutex> lock(stopMutex_);
    stopSignal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_; });
  }

  bool stopping() {
    std::lock_guard<std::mutex> lock(stopMutex_);
    return stop_;
  }

  void run() {
    if (options_.realTimePriority) raisePriority();
    SoundStream stream(
        device_, *options_.stream, *options_.capture, [this](int ms) { sleepMs(ms); },
        [this] { return stopping(); });
    FskModem modem(options_.framing);
    Receiver receiver(modem, options_.receiver);
    // Built here, not in the first send or dial pass.
    characterWaveforms();
    dialTones();
    stream_ = &stream;
    modem_ = &modem;
    receiver_ = &receiver;
    batch_.resize(kBatchBufferSize);

    while (!device_.hasInputDevice()) {
      setState(ModemState::Unavailable);
      sleepMs(kNoInputDeviceRetryMs);
      if (stopping()) return;
    }
    while (!stopping()) pass();
  }

  void pass() {
    PassKind kind = PassKind::Listen;
    std::string dial;
    const std::uint8_t* announcement = nullptr;
    std::uint32_t announcementLength = 0;
    {
      std::lock_guard<std::mutex> lock(control_.mutex_);
      if (control_.settingsChanged_) {
        control_.settingsChanged_ = false;
        if (control_.requestedShift_) {
          modem_->setShift(*control_.requestedShift_);
          control_.requestedShift_.reset();
        }
        modem_->setBaud(control_.baud_);
        modem_->setThreshold(control_.threshold_);
        modem_->setUnshiftOnSpace(control_.unshiftOnSpace_);
      } else if (!control_.dialRequest_.empty()) {
        dial.swap(control_.dialRequest_);
        kind = PassKind::Dial;
      } else if (!control_.sendQueue_.empty()) {
        kind = PassKind::Send;
      } else if (control_.announcementSamples_ && control_.announcementLength_ != 0) {
        announcement = control_.announcementSamples_;
        announcementLength = control_.announcementLength_;
        kind = PassKind::Announce;
      }
    }
    control_.shift = static_cast<std::uint8_t>(modem_->shift());

    switch (kind) {
      case PassKind::Announce:
        announce(announcement, announcementLength);
        break;
      case PassKind::Dial:
        dialNumber(dial);
        break;
      case PassKind::Send:
        setState(ModemState::Sending);
        send();
        break;
      case PassKind::Listen:
        listen();
        break;
    }
    if (stream_->status() != StreamStatus::Ok) setState(static_cast<ModemState>(stream_->status()));
  }

  void publish(ModemNotice notice) {
    control_.notice = static_cast<std::uint8_t>(notice);
    ++control_.noticeCount;
  }

  // Runs `attempt` (one try at playing typed text) until it succeeds, the
  // thread stops, or kSendRetryMs have passed since the first refusal; the
  // state shows the device's trouble meanwhile. False when the text never
  // went out.
  bool withRetries(const std::function<bool()>& attempt) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSendRetryMs);
    while (!attempt()) {
      if (stopping()) return false;
      if (stream_->status() != StreamStatus::Ok)
        setState(static_cast<ModemState>(stream_->status()));
      if (std::chrono::steady_clock::now() >= giveUp) return false;
    }
    setState(ModemState::Sending);
    return true;
  }

  // The device refused typed text for good: the user is told, and what is
  // still queued is dropped with it, since it would reach the far end with
  // a piece missing before it.
  void textNotSent() {
    if (stopping()) return;
    ModemControl::Lock(control_).clearSendQueue();
    publish(ModemNotice::TextNotSent);
  }

  void announce(const std::uint8_t* samples, std::uint32_t length) {
    setState(ModemState::Announcing);
    stream_->setOutputRate(kDialRate);
    stream_->writeOutput(samples, length);
    stream_->setOutputRate(kTextOutputRate);
    // Cleared under the lock: the UI tests the length to accept the next
    // request.
    ModemControl::Lock(control_).finishAnnouncement();
    setState(ModemState::Listening);
  }

  void dialNumber(const std::string& number) {
    setState(ModemState::Dialling);
    for (const DialStep& step : modem_->dialPlan(number)) {
      if (step.kind == DialStep::Kind::Pause) {
        sleepMs(step.pauseMs);
        continue;
      }
      if (stopping()) return;
      stream_->setOutputRate(kDialRate);
      const std::size_t length = static_cast<std::size_t>(step.samples.length);
      const bool played = stream_->writeOutput(step.samples.data, length) == length;
      stream_->setOutputRate(kTextOutputRate);
      if (stopping()) return;
      if (!played) {
        // The next keys without this one would dial another number.
        publish(ModemNotice::DialStopped);
        return;
      }
    }
    // Whatever the line did before the number was dialled is over.
    lineEvents_.reset();
    control_.lineEvent = static_cast<std::uint8_t>(LineEvent::Quiet);
    setState(ModemState::Listening);
  }

  void send() {
    const std::string chars = ModemControl::Lock(control_).takeBatch(kBatchMaxChars);
    if (chars.empty()) {
      sleepMs(kEmptySendPassMs);
      return;
    }
    if (options_.carrierHold) {
      transmit(chars);
      return;
    }
    const std::size_t n = static_cast<std::size_t>(
        modem_->renderBatch(reinterpret_cast<const unsigned char*>(chars.data()),
                            static_cast<int>(chars.size()), batch_.data(), kBatchBufferSize));
    if (!withRetries([&] { return stream_->writeOutput(batch_.data(), n) == n; })) textNotSent();
  }

  // The next batch of a transmission in progress; empty when nothing is
  // typed, or when a settings change or a dial request must have its pass
  // first, or when the thread is stopping.
  std::string nextBatch() {
    if (stopping()) return {};
    ModemControl::Lock lock(control_);
    if (lock.settingsChanged() || !lock.dialRequest().empty()) return {};
    return lock.takeBatch(kBatchMaxChars);
  }

  // Plays what has been rendered since the last call.
  bool playRendered() {
    const bool ok = stream_->playPart(part_.data(), part_.size());
    part_.clear();
    return ok;
  }

  // Plays one batch of a held-carrier transmission. A part the device
  // refuses ends the transmission; the batch is then tried again in a new
  // one (output opened afresh, lead-in, page shift), for up to
  // kSendRetryMs.
  bool transmitBatch(const std::string& chars, bool& open) {
    return withRetries([&] {
      if (!open) {
        if (!stream_->beginTransmission()) return false;
        open = true;
        modem_->beginTransmission();
        part_.clear();
        modem_->renderMark(kLeadInSamples, part_);
      }
      modem_->renderTransmitted(reinterpret_cast<const unsigned char*>(chars.data()),
                                static_cast<int>(chars.size()), part_);
      open = playRendered();
      return open;
    });
  }

  // One held-carrier transmission: the lead-in, then batch after batch for
  // as long as the queue holds text, then the hold, during which newly
  // typed text continues the same transmission; then the trailer.
  void transmit(std::string chars) {
    bool open = false;
    while (!chars.empty()) {
      if (!transmitBatch(chars, open)) {
        textNotSent();
        return;
      }
      chars = nextBatch();
      for (int held = 0; chars.empty() && held < kHoldSamples && !stopping();) {
        const int piece = std::min(kHoldPieceSamples, kHoldSamples - held);
        modem_->renderMark(piece, part_);
        if (!playRendered()) return;
        held += piece;
        chars = nextBatch();
      }
    }
    stream_->endTransmission();
  }

  void listen() {
    const int length = modem_->receiveBlockLength();
    std::int16_t block[kMaxReceiveBlockLength];
    if (stream_->readInput(block, static_cast<std::size_t>(length)) !=
        static_cast<std::size_t>(length))
      return;
    if (const std::optional<unsigned char> ch = receiver_->demodulateBlock(block, length)) {
      ModemControl::Lock lock(control_);
      lock.deliverReceived(*ch);
      if (const std::optional<unsigned char> next = receiver_->takePending())
        lock.deliverReceived(*next);
    }
    // After the characters, so that they never wait for it.
    lineEvents_.process(block, static_cast<std::size_t>(length));
    control_.lineEvent = static_cast<std::uint8_t>(lineEvents_.current());
    const double peak = receiver_->peak();
    setState(peak > control_.threshold_ / 4 ? ModemState::SignalPresent : ModemState::Listening);
    control_.inputLevel = static_cast<std::uint8_t>(peak);
  }

  ModemControl& control_;
  SoundDevice& device_;
  ModemThreadOptions options_;
  SoundStream* stream_ = nullptr;
  FskModem* modem_ = nullptr;
  Receiver* receiver_ = nullptr;
  LineEventDetector lineEvents_;
  std::vector<std::uint8_t> batch_;
  std::vector<std::uint8_t> part_;  // rendered, not yet played

  std::mutex stopMutex_;
  std::condition_variable stopSignal_;
  bool stop_ = false;
  std::thread thread_;
};

ModemControl::ModemControl(std::mutex& mutex) : mutex_(mutex) {}

ModemControl::~ModemControl() {
  thread_.reset();
  if (holdsStartedFlag_) modemStarted = false;
}

void ModemControl::start(SoundDevice& device, ModemThreadOptions options) {
  if (!thread_) thread_ = std::make_unique<Thread>(*this, device, std::move(options));
}

void ModemControl::raiseSettingsChanged() {
  std::lock_guard<std::mutex> lock(mutex_);
  settingsChanged_ = true;
}

void ModemControl::setLineParameters(double sensitivity, BaudRate baud) {
  baud_ = baud;
  threshold_ = FskModem::thresholdForSensitivity(sensitivity);
  raiseSettingsChanged();
}

void ModemControl::setUnshiftOnSpace(bool on) {
  unshiftOnSpace_ = on;
  raiseSettingsChanged();
}

BaudRate ModemControl::toggleBaudRate() {
  const BaudRate next = baud_ == BaudRate::Baud45 ? BaudRate::Baud50 : BaudRate::Baud45;
  baud_ = next;
  raiseSettingsChanged();
  return next;
}

void ModemControl::forceFigures() {
  std::lock_guard<std::mutex> lock(mutex_);
  requestedShift_ = FIGS;
  settingsChanged_ = true;
}

void ModemControl::forceLetters() {
  std::lock_guard<std::mutex> lock(mutex_);
  requestedShift_ = LTRS;
  settingsChanged_ = true;
}

bool ModemControl::requestAnnouncement(const std::uint8_t* samples, std::uint32_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (announcementLength_ != 0) return false;
  announcementSamples_ = samples;
  announcementLength_ = length;
  return true;
}

void ModemControl::queueTyped(std::string_view characters) {
  Lock lock(*this);
  for (char c : characters) lock.queueTyped(static_cast<unsigned char>(c));
}

std::vector<QueuedChar> ModemControl::takeReceived() {
  return Lock(*this).takeReceived();
}

std::string ModemControl::stopSending() {
  return Lock(*this).withdrawUnsent();
}

void ModemControl::clearSendQueue() {
  Lock(*this).clearSendQueue();
}

void ModemControl::requestDial(std::string number) {
  Lock(*this).requestDial(std::move(number));
}

void ModemControl::Lock::queueTyped(unsigned char character) {
  control_.sendQueue_.push_back({character, false, false});
}

std::vector<QueuedChar> ModemControl::Lock::takeReceived() {
  std::vector<QueuedChar> taken;
  taken.swap(control_.receiveQueue_);
  return taken;
}

std::string ModemControl::Lock::withdrawUnsent() {
  std::vector<QueuedChar>& queue = control_.sendQueue_;
  // The modem takes entries oldest first, so what it has not taken is
  // everything after the last taken entry.
  auto firstUntaken = queue.end();
  while (firstUntaken != queue.begin() && !std::prev(firstUntaken)->taken) --firstUntaken;
  std::string withdrawn;
  for (auto it = firstUntaken; it != queue.end(); ++it)
    withdrawn.push_back(static_cast<char>(it->character));
  queue.erase(firstUntaken, queue.end());
  return withdrawn;
}

void ModemControl::Lock::clearSendQueue() {
  control_.sendQueue_.clear();
}

void ModemControl::Lock::requestDial(std::string number) {
  control_.dialRequest_ = std::move(number);
}

std::string ModemControl::Lock::takeBatch(int max) {
  std::vector<QueuedChar>& queue = control_.sendQueue_;
  std::string batch;
  for (QueuedChar& q : queue) {
    if (static_cast<int>(batch.size()) == max) break;
    if (q.taken) continue;
    q.taken = true;
    batch.push_back(static_cast<char>(q.character));
  }
  // Everything has gone: the queue is emptied here, after the last batch,
  // so that until then Stop could still see it.
  if (batch.empty()) queue.clear();
  return batch;
}

void ModemControl::Lock::finishAnnouncement() {
  control_.announcementSamples_ = nullptr;
  control_.announcementLength_ = 0;
}

void ModemControl::Lock::deliverReceived(unsigned char character) {
  std::vector<QueuedChar>& queue = control_.receiveQueue_;
  // A backspace still queued is an erasure of its own for the UI to make:
  // taking it back would make two backspaces erase nothing.
  if (character == kBackspace && !queue.empty() && queue.back().character != kBackspace)
    queue.pop_back();
  else
    queue.push_back({character, true, false});
}

std::unique_ptr<ModemControl> startModem(SoundDevice& device) {
  if (modemStarted.exchange(true))
    std::_Exit(-1);  // no static destructors under the running modem thread
  auto control = std::make_unique<ModemControl>();
  control->holdsStartedFlag_ = true;
  ModemThreadOptions options;
  options.framing = framingConfigFromSettings();
  options.receiver = receiverKindFromSettings();
  options.realTimePriority = true;
  options.carrierHold = carrierHoldFromSettings();
  control->start(device, options);
  return control;
}

}  // namespace quelto
