#include "modem/modem_control.h"

#include "settings/settings_store.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <cstdlib>

namespace quelto {

namespace {

std::atomic<bool> modemStarted{false};

constexpr int kNoInputDeviceRetryMs = 1000;
constexpr int kEmptySendPassMs = 10;

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

void modemLock() {
  modemMutex().lock();
}
void modemUnlock() {
  modemMutex().unlock();
}

FramingConfig framingConfigFromSettings() {
  FramingConfig f;
  f.startBitThreshold = getSettingInt("StartBitThreshold", f.startBitThreshold);
  f.stopBitThreshold = getSettingInt("StopBitThreshold", f.stopBitThreshold);
  f.restartCount = getSettingInt("RestartCount", f.restartCount);
  return f;
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
    SoundStream stream(device_, *options_.stream, *options_.capture,
                       [this](int ms) { sleepMs(ms); });
    FskModem modem(options_.framing);
    characterWaveforms();  // built here, not in the first send pass
    stream_ = &stream;
    modem_ = &modem;
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
      if (control_.settingsChanged) {
        control_.settingsChanged = 0;
        if (control_.requestedShift != 0) {
          modem_->setShift(control_.requestedShift);
          control_.requestedShift = 0;
        }
        modem_->setBaud(control_.baudSelector);
        modem_->setThreshold(control_.threshold);
      } else if (!control_.dialString.empty()) {
        dial.swap(control_.dialString);
        kind = PassKind::Dial;
      } else if (!control_.sendQueue.empty()) {
        kind = PassKind::Send;
      } else if (control_.announcementSamples && control_.announcementLength != 0) {
        announcement = control_.announcementSamples;
        announcementLength = control_.announcementLength;
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

  void announce(const std::uint8_t* samples, std::uint32_t length) {
    setState(ModemState::Announcing);
    stream_->setOutputRate(kDialRate);
    stream_->writeOutput(samples, length);
    stream_->setOutputRate(kTextOutputRate);
    {
      // Cleared under the lock: the UI tests the length to accept the
      // next request.
      std::lock_guard<std::mutex> lock(control_.mutex_);
      control_.announcementSamples = nullptr;
      control_.announcementLength = 0;
    }
    setState(ModemState::Listening);
  }

  void dialNumber(const std::string& number) {
    setState(ModemState::Dialling);
    for (const DialStep& step : modem_->dialPlan(number)) {
      if (step.kind == DialStep::Kind::Pause) {
        sleepMs(step.pauseMs);
        continue;
      }
      stream_->setOutputRate(kDialRate);
      stream_->writeOutput(step.samples.data, static_cast<std::size_t>(step.samples.length));
      stream_->setOutputRate(kTextOutputRate);
    }
    setState(ModemState::Listening);
  }

  void send() {
    unsigned char chars[kBatchMaxChars];
    int count = 0;
    {
      std::lock_guard<std::mutex> lock(control_.mutex_);
      std::vector<QueuedChar>& queue = control_.sendQueue;
      std::size_t i = 0;
      while (i < queue.size() && queue[i].taken()) ++i;
      if (i == queue.size()) {
        // Everything has gone: the queue is emptied here, after the
        // last batch, so the UI's stop command could still see it.
        queue.clear();
      } else {
        chars[count++] = queue[i].character;
        queue[i].flags |= QueuedChar::kTaken;
        while (count < kBatchMaxChars) {
          if (++i == queue.size()) break;
          if (queue[i].taken()) {
            queue.clear();
            break;
          }
          chars[count++] = queue[i].character;
          queue[i].flags |= QueuedChar::kTaken;
        }
      }
    }
    if (count == 0) {
      sleepMs(kEmptySendPassMs);
      return;
    }
    const int n = modem_->renderBatch(chars, count, batch_.data(), kBatchBufferSize);
    stream_->writeOutput(batch_.data(), static_cast<std::size_t>(n));
  }

  // Under the lock. A received backspace takes back a character the UI
  // has not shown yet; with nothing left to take back, the UI erases one.
  void deliver(unsigned char ch) {
    std::vector<QueuedChar>& queue = control_.receiveQueue;
    if (ch == kBackspace && !queue.empty())
      queue.pop_back();
    else
      queue.push_back({ch, QueuedChar::kReceived});
  }

  void listen() {
    const int length = modem_->receiveBlockLength();
    std::uint8_t block[kMaxReceiveBlockLength];
    if (stream_->readInput(block, static_cast<std::size_t>(length)) !=
        static_cast<std::size_t>(length))
      return;
    if (const std::optional<unsigned char> ch = modem_->demodulateBlock(block, length)) {
      std::lock_guard<std::mutex> lock(control_.mutex_);
      deliver(*ch);
      if (const std::optional<unsigned char> next = modem_->takePending()) deliver(*next);
    }
    const double peak = modem_->peak();
    setState(peak > control_.threshold / 4 ? ModemState::SignalPresent : ModemState::Listening);
    control_.inputLevel = static_cast<std::uint8_t>(peak);
  }

  ModemControl& control_;
  SoundDevice& device_;
  ModemThreadOptions options_;
  SoundStream* stream_ = nullptr;
  FskModem* modem_ = nullptr;
  std::vector<std::uint8_t> batch_;

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
  settingsChanged = 1;
}

void ModemControl::setLineParameters(double sensitivity, int baud) {
  baudSelector = baud;
  threshold = FskModem::thresholdForSensitivity(sensitivity);
  raiseSettingsChanged();
}

const char* ModemControl::toggleBaudRate() {
  const char* label;
  if (baudSelector != kBaud45) {
    baudSelector = kBaud45;
    label = "45 &bauds";
  } else {
    baudSelector = kBaud50;
    label = "50 &bauds";
  }
  raiseSettingsChanged();
  return label;
}

void ModemControl::forceFigures() {
  std::lock_guard<std::mutex> lock(mutex_);
  requestedShift = FIGS;
  settingsChanged = 1;
}

void ModemControl::forceLetters() {
  std::lock_guard<std::mutex> lock(mutex_);
  requestedShift = LTRS;
  settingsChanged = 1;
}

bool ModemControl::requestAnnouncement(const std::uint8_t* samples, std::uint32_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (announcementLength != 0) return false;
  announcementSamples = samples;
  announcementLength = length;
  return true;
}

std::vector<QueuedChar> ModemControl::takeReceived() {
  std::vector<QueuedChar> taken;
  taken.swap(receiveQueue);
  return taken;
}

bool ModemControl::stopSending() {
  for (const QueuedChar& q : sendQueue) {
    if (!q.taken()) {
      sendQueue.clear();
      return true;
    }
  }
  return false;
}

std::unique_ptr<ModemControl> startModem(SoundDevice& device) {
  if (modemStarted.exchange(true))
    std::_Exit(-1);  // no static destructors under the running modem thread
  auto control = std::make_unique<ModemControl>();
  control->holdsStartedFlag_ = true;
  ModemThreadOptions options;
  options.framing = framingConfigFromSettings();
  options.realTimePriority = true;
  control->start(device, options);
  return control;
}

}  // namespace quelto
