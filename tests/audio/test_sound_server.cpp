#include "tests/audio/test_sound_server.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

namespace quelto {

namespace {

// The adapter's modules, loaded at start and again when it is plugged in.
const char* const kAdapterModules[] = {
    R"(module-null-sink sink_name=adapter sink_properties='device.description="USB Phone Adapter"')",
    R"(module-remap-source source_name=adapter_mic master=adapter_feed.monitor source_properties='device.description="USB Phone Adapter"')",
    "module-loopback source=adapter.monitor sink=keeper latency_msec=20",
    "module-loopback source=adapter_mic sink=keeper latency_msec=20",
};

// Defaults are set before any loopback exists: changing the default sink
// moves the streams of the old default (the first sink loaded) to the new.
const char* const kScriptStart = R"(load-module module-native-protocol-unix auth-anonymous=1
load-module module-null-sink sink_name=keeper sink_properties=device.description=Keeper
load-module module-null-sink sink_name=speakers sink_properties='device.description="Built-in Audio Analog Stereo"'
load-module module-null-sink sink_name=builtin_feed sink_properties='device.description="Built-in Microphone Feed"'
load-module module-remap-source source_name=builtin_mic master=builtin_feed.monitor source_properties='device.description="Built-in Audio Analog Stereo"'
load-module module-null-sink sink_name=adapter_feed sink_properties='device.description="USB Phone Adapter Feed"'
set-default-sink speakers
set-default-source builtin_mic
load-module module-loopback source=speakers.monitor sink=keeper latency_msec=20
load-module module-loopback source=builtin_mic sink=keeper latency_msec=20
)";

std::string run(const std::string& command, bool* ok) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    if (ok) *ok = false;
    return out;
  }
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  const int status = pclose(pipe);
  if (ok) *ok = status == 0;
  return out;
}

// A shell word holding `text` as it is.
std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::vector<std::vector<std::string>> rows(const std::string& table) {
  std::vector<std::vector<std::string>> out;
  std::istringstream lines(table);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream words(line);
    std::string word;
    while (words >> word) fields.push_back(word);
    if (!fields.empty()) out.push_back(fields);
  }
  return out;
}

}  // namespace

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TestSoundServer::TestSoundServer(bool desktopPriority) {
  char pattern[] = "/tmp/quelto-sound-server-XXXXXX";
  if (!mkdtemp(pattern)) return;
  dir_ = pattern;
  std::filesystem::create_directories(dir_ / "runtime");
  std::filesystem::create_directories(dir_ / "home");
  std::filesystem::permissions(dir_ / "runtime", std::filesystem::perms::owner_all);
  const std::filesystem::path script = dir_ / "desktop.pa";
  {
    std::ofstream out(script);
    out << kScriptStart;
    for (const char* module : kAdapterModules) out << "load-module " << module << '\n';
  }

  pid_ = fork();
  if (pid_ == 0) {
    setenv("XDG_RUNTIME_DIR", (dir_ / "runtime").c_str(), 1);
    setenv("HOME", (dir_ / "home").c_str(), 1);
    const int log = open((dir_ / "daemon.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (log >= 0) {
      dup2(log, STDOUT_FILENO);
      dup2(log, STDERR_FILENO);
    }
    const char* priority = desktopPriority ? "--realtime=yes" : "--realtime=no";
    const char* nice = desktopPriority ? "--high-priority=yes" : "--high-priority=no";
    execlp("pulseaudio", "pulseaudio", "-n", "-F", script.c_str(), "--daemonize=no",
           "--exit-idle-time=-1", "--use-pid-file=no", priority, nice, static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0) return;
  setenv("PULSE_SERVER", ("unix:" + (dir_ / "runtime" / "pulse" / "native").string()).c_str(), 1);
  setenv("PULSE_COOKIE", (dir_ / "home" / ".config" / "pulse" / "cookie").c_str(), 1);

  bool answered = false;
  waitUntil(
      [&] {
        pactl("info", &answered);
        return answered || waitpid(pid_, nullptr, WNOHANG) == pid_;
      },
      std::chrono::seconds(60));
  if (!answered) return;
  // The loopbacks get going before the first stream opens: a recorder
  // opened sooner may stall on a sink that still renders in long chunks.
  std::this_thread::sleep_for(std::chrono::milliseconds(2200));
  ok_ = true;
}

TestSoundServer::~TestSoundServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  unsetenv("PULSE_SERVER");
  unsetenv("PULSE_COOKIE");
  if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

void TestSoundServer::stop(std::chrono::milliseconds duration) const {
  if (pid_ <= 0) return;
  kill(pid_, SIGSTOP);
  std::this_thread::sleep_for(duration);
  kill(pid_, SIGCONT);
}

std::string TestSoundServer::log() const {
  std::ifstream in(dir_ / "daemon.log");
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string TestSoundServer::pactl(const std::string& arguments, bool* ok) const {
  // Untranslated, so that the listings read the same everywhere.
  return run("LC_ALL=C pactl " + arguments + " 2>/dev/null", ok);
}

int TestSoundServer::loadModule(const std::string& arguments) const {
  // pactl joins its words into the module's argument line; one word keeps
  // the quotes of a description as they are.
  const std::size_t space = arguments.find(' ');
  const std::string command =
      space == std::string::npos
          ? "load-module " + arguments
          : "load-module " + arguments.substr(0, space) + " " + quoted(arguments.substr(space + 1));
  bool ok = false;
  const std::string out = pactl(command, &ok);
  return ok ? std::atoi(out.c_str()) : -1;
}

bool TestSoundServer::unloadModule(int index) const {
  bool ok = false;
  pactl("unload-module " + std::to_string(index), &ok);
  return ok;
}

bool TestSoundServer::unplugAdapter() const {
  // The keeper's loopbacks first: the server would move them to the
  // defaults rather than end them.
  bool ok = true;
  for (const char* what : {"source=adapter.monitor", "source=adapter_mic", "sink_name=adapter",
                           "source_name=adapter_mic"})
    for (const auto& row : rows(pactl("list short modules")))
      if (std::find(row.begin(), row.end(), what) != row.end())
        ok = unloadModule(std::atoi(row[0].c_str())) && ok;
  return ok;
}

bool TestSoundServer::plugAdapter() const {
  for (const char* module : kAdapterModules)
    if (loadModule(module) < 0) return false;
  return true;
}

int TestSoundServer::recordersOf(const std::string& source) const {
  std::string index;
  for (const auto& row : rows(pactl("list short sources")))
    if (row.size() > 1 && row[1] == source) index = row[0];
  if (index.empty()) return 0;
  // index, source, client ("-" for a module's own stream), ...
  int count = 0;
  for (const auto& row : rows(pactl("list short source-outputs")))
    if (row.size() > 2 && row[1] == index && row[2] != "-") ++count;
  return count;
}

bool TestSoundServer::play(const std::string& sink, const std::vector<std::uint8_t>& samples,
                           int rate) {
  const pa_sample_spec spec{PA_SAMPLE_U8, static_cast<std::uint32_t>(rate), 1};
  int error = 0;
  pa_simple* s = pa_simple_new(nullptr, "quelto-test", PA_STREAM_PLAYBACK, sink.c_str(), "far end",
                               &spec, nullptr, nullptr, &error);
  if (!s) return false;
  const bool ok = pa_simple_write(s, samples.data(), samples.size(), &error) == 0 &&
                  pa_simple_drain(s, &error) == 0;
  pa_simple_free(s);
  return ok;
}

int TestSoundServer::volumePercent(const std::string& kind, const std::string& name) const {
  const std::string out = pactl("get-" + kind + "-volume " + name);
  std::smatch m;
  static const std::regex percent(R"((\d+)%)");
  return std::regex_search(out, m, percent) ? std::atoi(m[1].str().c_str()) : -1;
}

bool TestSoundServer::muted(const std::string& kind, const std::string& name) const {
  return pactl("get-" + kind + "-mute " + name).find("yes") != std::string::npos;
}

TestSoundServer::Stream TestSoundServer::playbackStream(const std::string& mediaName) const {
  const std::string listing = pactl("list sink-inputs");
  static const std::regex header(R"(Sink Input #(\d+))");
  static const std::regex volume(R"(\n\s*Volume:[^\n]*?(\d+)%)");
  static const std::regex mute(R"(\n\s*Mute: (\w+))");
  const std::string name = "media.name = \"" + mediaName + "\"";
  Stream stream;
  for (std::sregex_iterator it(listing.begin(), listing.end(), header), end; it != end; ++it) {
    const std::size_t from = static_cast<std::size_t>(it->position(0));
    const std::size_t to = listing.find("Sink Input #", from + 1);
    const std::string block = listing.substr(from, to == std::string::npos ? to : to - from);
    if (block.find(name) == std::string::npos) continue;
    std::smatch m;
    stream.index = std::atoi((*it)[1].str().c_str());
    if (std::regex_search(block, m, volume)) stream.volumePercent = std::atoi(m[1].str().c_str());
    stream.muted = std::regex_search(block, m, mute) && m[1].str() == "yes";
  }
  return stream;
}

// --- Recorder ---------------------------------------------------------------------------

Recorder::Recorder(const std::string& source) {
  const pa_sample_spec spec{PA_SAMPLE_U8, kRate, 1};
  // Small fragments: what was played shows up within a few tens of ms.
  pa_buffer_attr attr{};
  attr.maxlength = attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = kRate / 20;
  int error = 0;
  stream_ = pa_simple_new(nullptr, "quelto-test", PA_STREAM_RECORD, source.c_str(), "probe", &spec,
                          nullptr, &attr, &error);
  if (stream_) thread_ = std::thread([this] { run(); });
}

Recorder::~Recorder() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (stream_) pa_simple_free(stream_);
}

void Recorder::run() {
  std::vector<std::uint8_t> chunk(kRate / 20);
  while (!stop_) {
    int error = 0;
    const bool read = pa_simple_read(stream_, chunk.data(), chunk.size(), &error) == 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!read) {
      failed_ = true;
      changed_.notify_all();
      return;
    }
    samples_.insert(samples_.end(), chunk.begin(), chunk.end());
    changed_.notify_all();
  }
}

std::vector<std::uint8_t> Recorder::samples() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return samples_;
}

bool Recorder::recordMore(std::size_t count, std::chrono::seconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  const std::size_t target = samples_.size() + count;
  return changed_.wait_for(lock, timeout, [&] { return failed_ || samples_.size() >= target; }) &&
         !failed_;
}

}  // namespace quelto
