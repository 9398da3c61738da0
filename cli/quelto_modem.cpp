// quelto-modem: encode typed text into the exact line signal Quelto plays,
// decode any sound file with Quelto's receiver, render a dial pass, and list
// the sound devices the program can use.
//
// Exit status: 0 on success, 2 on any error (one line on standard error).

#include "audio/device_list.h"
#include "audio/rate_conversion.h"
#include "audio/system_sound_device.h"
#include "modem/baudot.h"
#include "modem/fsk_modem.h"
#include "modem/line_signal.h"
#include "modem/robust_receiver.h"
#include "text/text_encoding.h"
#include "text/utf8.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using namespace quelto;

constexpr int kExitError = 2;
constexpr const char* kProgram = "quelto-modem";

const char* const kUsage =
    "Usage:\n"
    "  quelto-modem encode [--baud 45|50] [--no-carrier-hold] -o OUT.wav [TEXT...]\n"
    "  quelto-modem decode [--baud 45|50] [--receiver classic|robust]\n"
    "                      [--sensitivity S | --threshold T] [--unshift-on-space] IN\n"
    "  quelto-modem dial -o OUT.wav NUMBER\n"
    "  quelto-modem devices\n"
    "  quelto-modem --help | --version\n"
    "\n"
    "encode  writes the line signal Quelto plays for the typed TEXT (its words\n"
    "        joined by single spaces), or for standard input when no TEXT is\n"
    "        given, where a line end is Enter in the program. 22050 Hz 8-bit\n"
    "        mono, starting in letters, exactly what the program plays with\n"
    "        its default settings: one transmission of 150 ms of mark, the\n"
    "        shift code of the first letter or figure, the characters back to\n"
    "        back with continuous phase (Enter as CR LF), 300 ms of mark, then\n"
    "        4096 samples of silence.\n"
    "        --no-carrier-hold gives the signal with \"CarrierHold\" off:\n"
    "        batches of up to 8 characters, each from silence and followed by\n"
    "        4096 samples of silence, Enter as CR alone.\n"
    "        Characters Baudot cannot carry are dropped with a warning.\n"
    "decode  reads any WAV or FLAC file (any rate, first channel) with Quelto's\n"
    "        receiver and prints the text as the conversation shows it.\n"
    "        Sensitivity 0-100 as in the profile (default 30), or the\n"
    "        detection threshold itself (threshold = 50 - (S x 0.4 - 20)).\n"
    "        --receiver chooses the demodulator, as the \"Receiver\" setting\n"
    "        does in the program: robust (the default) or classic. The\n"
    "        robust one turns the threshold T into the share of a frame's\n"
    "        energy that must lie in its tones: 0.16 x 0.97^S up to T = 70,\n"
    "        then rising to all of it at a clean tone's power (484 at 45.45\n"
    "        baud, 400 at 50), where neither receiver reads anything.\n"
    "        --unshift-on-space: a received space returns to letters, for\n"
    "        senders that count on it.\n"
    "dial    writes the dial pass for NUMBER: 8000 Hz 8-bit mono, each digit,\n"
    "        * or # as 300 ms of tone, 300 ms of gap and 4096 samples of\n"
    "        silence; \",\" as a 500 ms pause; other characters skipped.\n"
    "devices prints the sound devices Quelto can use, one per line, as\n"
    "        input<TAB>NAME or output<TAB>NAME in the order Global Preferences\n"
    "        shows them, each group starting with Default; NAME is what the\n"
    "        settings WaveInputDevice and WaveOutputDevice store.\n"
    "\n"
    "--baud 45|50   45.45 baud (default) or 50 baud.\n"
    "Use -- before TEXT that starts with a dash.\n";

// An error that ends the program with status 2 and one line on stderr.
struct Failure {
  std::string message;
};

[[noreturn]] void fail(const std::string& message) {
  throw Failure{message};
}

std::optional<double> parseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

struct Options {
  std::string command;
  BaudRate baud = BaudRate::Baud45;
  std::optional<std::string> output;
  std::optional<double> sensitivity;
  std::optional<double> threshold;
  std::optional<ReceiverKind> receiver;
  bool carrierHold = true;
  bool unshiftOnSpace = false;
  std::vector<std::string> words;
};

Options parse(int argc, char** argv) {
  Options o;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) fail("missing command (encode, decode or dial); try --help");
  bool optionsDone = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (optionsDone || arg.size() < 2 || arg[0] != '-') {
      if (o.command.empty()) {
        if (arg != "encode" && arg != "decode" && arg != "dial" && arg != "devices")
          fail("unknown command: " + arg);
        o.command = arg;
      } else {
        o.words.push_back(arg);
      }
      continue;
    }
    if (arg == "--") {
      optionsDone = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      o.command = "help";
      return o;
    }
    if (arg == "--version") {
      o.command = "version";
      return o;
    }
    // --name=value or --name value.
    std::optional<std::string> inlineValue;
    if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      inlineValue = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= args.size()) fail("option " + arg + " needs a value");
      return args[++i];
    };
    if (arg == "--baud") {
      const std::string v = value();
      if (v == "45" || v == "45.45") {
        o.baud = BaudRate::Baud45;
      } else if (v == "50") {
        o.baud = BaudRate::Baud50;
      } else {
        fail("bad baud rate: " + v + " (45 or 50)");
      }
    } else if (arg == "--no-carrier-hold" && !inlineValue) {
      o.carrierHold = false;
    } else if (arg == "--unshift-on-space" && !inlineValue) {
      o.unshiftOnSpace = true;
    } else if (arg == "-o" || arg == "--output") {
      o.output = value();
      if (o.output->empty()) fail("empty output file name");
    } else if (arg == "--sensitivity") {
      const std::string v = value();
      o.sensitivity = parseNumber(v);
      if (!o.sensitivity || *o.sensitivity < 0 || *o.sensitivity > 100)
        fail("bad sensitivity: " + v + " (0 to 100)");
    } else if (arg == "--receiver") {
      const std::string v = value();
      o.receiver = receiverKindFromName(v);
      if (!o.receiver) fail("bad receiver: " + v + " (classic or robust)");
    } else if (arg == "--threshold") {
      const std::string v = value();
      o.threshold = parseNumber(v);
      if (!o.threshold || *o.threshold < 0) fail("bad threshold: " + v + " (a number, 0 or more)");
    } else {
      fail("unknown option: " + arg);
    }
  }
  if (o.command.empty()) fail("missing command (encode, decode or dial); try --help");
  if (o.command == "devices" && (!o.words.empty() || o.output || o.baud != BaudRate::Baud45))
    fail("devices takes no arguments");
  if (o.command != "decode" && (o.sensitivity || o.threshold || o.receiver))
    fail("--receiver, --sensitivity and --threshold are for decode");
  if (o.command == "dial" && o.baud != BaudRate::Baud45) fail("--baud is for encode and decode");
  if (o.command == "decode" && o.output) fail("-o is for encode and dial");
  if (o.command != "encode" && !o.carrierHold) fail("--no-carrier-hold is for encode");
  if (o.command != "decode" && o.unshiftOnSpace) fail("--unshift-on-space is for decode");
  if (o.sensitivity && o.threshold) fail("give --sensitivity or --threshold, not both");
  return o;
}

void writeU8Wav(const std::string& path, const std::vector<uint8_t>& samples, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) fail("cannot write " + path + ": " + sf_strerror(nullptr));
  // 8-bit unsigned WAV data is exactly our samples.
  const sf_count_t written =
      sf_write_raw(f, samples.data(), static_cast<sf_count_t>(samples.size()));
  const bool ok = written == static_cast<sf_count_t>(samples.size());
  const int closed = sf_close(f);
  if (!ok || closed != 0) fail("cannot write " + path);
}

// How a dropped character is named in the warning: itself when printable,
// U+XXXX for a control character.
std::string nameOf(const std::string& utf8) {
  const unsigned char c = static_cast<unsigned char>(utf8[0]);
  if (utf8.size() == 1 && (c < 0x20 || c == 0x7F)) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", c);
    return buf;
  }
  if (utf8.size() == 1 && c >= 0x80) return "\xEF\xBF\xBD";  // a byte that is not UTF-8
  return utf8;
}

// The data of a WAV file is counted in 32 bits: over 4 GiB its sizes would
// wrap and a reader would see a short or broken file. The margin leaves
// room for the header's own bytes in the RIFF size.
constexpr std::uint64_t kMaxWavDataBytes = 0xFFFFFFFFull - 4096;

// An 8-bit unsigned mono WAV file written as the signal is rendered, so
// that memory stays the same whatever the length of the text. Created at
// the first write; a run that fails removes what it wrote.
class StreamedWav {
 public:
  StreamedWav(std::string path, int rate) : path_(std::move(path)), rate_(rate) {}
  ~StreamedWav() {
    if (!file_) return;
    sf_close(file_);
    std::remove(path_.c_str());
  }
  StreamedWav(const StreamedWav&) = delete;
  StreamedWav& operator=(const StreamedWav&) = delete;

  bool started() const { return file_ != nullptr; }

  void write(const uint8_t* data, std::size_t count) {
    if (!file_) open();
    if (written_ + count > kMaxWavDataBytes) fail(tooLong());
    // 8-bit unsigned WAV data is exactly our samples.
    if (sf_write_raw(file_, data, static_cast<sf_count_t>(count)) != static_cast<sf_count_t>(count))
      fail("cannot write " + path_ + ": " + sf_strerror(file_));
    written_ += count;
  }
  void write(const std::vector<uint8_t>& samples) { write(samples.data(), samples.size()); }
  void silence(std::size_t count) { write(std::vector<uint8_t>(count, 128)); }

  void finish() {
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0) {
      std::remove(path_.c_str());
      fail("cannot write " + path_);
    }
  }

  // Refuses when the characters alone, at their shortest, cannot fit.
  void checkRoomFor(std::uint64_t characters, BaudRate baud) const {
    if (characters * static_cast<std::uint64_t>(characterWaveformLength(baud)) > kMaxWavDataBytes)
      fail(tooLong());
  }

 private:
  void open() {
    SF_INFO info{};
    info.samplerate = rate_;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
    file_ = sf_open(path_.c_str(), SFM_WRITE, &info);
    if (!file_) fail("cannot write " + path_ + ": " + sf_strerror(nullptr));
  }
  std::string tooLong() const {
    return "the signal is over 4 GiB, more than a WAV file can hold; nothing written to " + path_ +
           " (encode the text in parts)";
  }

  std::string path_;
  int rate_;
  SNDFILE* file_ = nullptr;
  std::uint64_t written_ = 0;
};

// The typed text in pieces, from the words or from standard input read a
// block at a time: UTF-8 characters cut by a block end wait for the next
// block, a line end (LF or CR LF) is the CR that Enter types, and what
// Baudot cannot carry is dropped and named once.
class TypedText {
 public:
  explicit TypedText(const std::vector<std::string>& words) : fromInput_(words.empty()) {
    for (std::size_t i = 0; i < words.size(); ++i) raw_ += (i ? " " : "") + words[i];
  }

  // The next piece of sendable Windows-1252 bytes; false at the end.
  bool next(std::string& typed) {
    typed.clear();
    while (typed.empty()) {
      if (fromInput_ && !atEnd_) {
        char block[65536];
        const std::size_t got = std::fread(block, 1, sizeof block, stdin);
        if (got < sizeof block) {
          if (std::ferror(stdin)) fail("cannot read standard input");
          atEnd_ = true;
        }
        raw_.append(block, got);
      } else if (raw_.empty()) {
        return false;
      } else {
        atEnd_ = true;
      }
      take(typed);
      if (atEnd_ && raw_.empty() && typed.empty()) return false;
    }
    return true;
  }

  std::string droppedNames() const {
    std::string names;
    for (const std::string& d : dropped_) names += " " + d;
    return names;
  }
  bool anyDropped() const { return !dropped_.empty(); }

 private:
  void take(std::string& typed) {
    std::size_t i = 0;
    while (i < raw_.size()) {
      const std::size_t length = utf8SequenceLength(static_cast<unsigned char>(raw_[i]));
      // A character or a CR LF cut by the block end waits for the rest.
      if (!atEnd_ && (i + length > raw_.size() || (raw_[i] == '\r' && i + 1 == raw_.size()))) break;
      if (fromInput_ && raw_[i] == '\r' && i + 1 < raw_.size() && raw_[i + 1] == '\n') ++i;
      if (fromInput_ && raw_[i] == '\n') {
        typed += '\r';
        ++i;
        continue;
      }
      const std::size_t n = std::min(length, raw_.size() - i);
      const std::string piece = raw_.substr(i, n);
      i += n;
      const std::string cp = utf8ToCp1252(piece);
      if (cp.size() == 1 && isSendable(static_cast<unsigned char>(cp[0]))) {
        typed += cp;
      } else if (std::find(dropped_.begin(), dropped_.end(), nameOf(piece)) == dropped_.end()) {
        dropped_.push_back(nameOf(piece));
      }
    }
    raw_.erase(0, i);
  }

  bool fromInput_;
  bool atEnd_ = false;
  std::string raw_;
  std::vector<std::string> dropped_;
};

int encode(const Options& o) {
  if (!o.output) fail("encode needs -o OUT.wav");
  TypedText input(o.words);
  StreamedWav out(*o.output, kTextOutputRate);
  FskModem modem;
  modem.setBaud(o.baud);

  // Characters are rendered a few at a time: each may take two character
  // waveforms (a shift code first), so this bounds the buffer to about 2 MB.
  constexpr std::size_t kSlice = 256;
  std::uint64_t characters = 0;
  std::vector<uint8_t> signal;
  std::string batch;  // carrier off: the characters of the batch being filled
  std::vector<uint8_t> rendered(kBatchBufferSize);
  const auto renderBatch = [&] {
    const int n =
        modem.renderBatch(reinterpret_cast<const unsigned char*>(batch.data()),
                          static_cast<int>(batch.size()), rendered.data(), kBatchBufferSize);
    out.write(rendered.data(), static_cast<std::size_t>(n));
    out.silence(kOutputTrailerSamples);
    batch.clear();
  };

  // The whole text first: it is small beside its signal (a WAV file holds
  // about a million characters at most), and a text that cannot fit is
  // refused before anything is written.
  std::string text, typed;
  while (input.next(typed)) {
    characters += typed.size();
    out.checkRoomFor(characters, o.baud);
    text += typed;
  }
  for (std::size_t at = 0; at < text.size(); at += kSlice) {
    typed = text.substr(at, kSlice);
    if (o.carrierHold) {
      if (!out.started()) {
        modem.beginTransmission();
        signal.clear();
        modem.renderMark(kLeadInSamples, signal);
        out.write(signal);
      }
      signal.clear();
      modem.renderTransmitted(reinterpret_cast<const unsigned char*>(typed.data()),
                              static_cast<int>(typed.size()), signal);
      out.write(signal);
    } else {
      for (const char c : typed) {
        batch += c;
        if (batch.size() == static_cast<std::size_t>(kBatchMaxChars)) renderBatch();
      }
    }
  }
  if (!o.carrierHold && !batch.empty()) renderBatch();
  if (!out.started()) {
    if (!input.anyDropped()) fail("empty text: nothing to send");
    fail("empty text: nothing Baudot can carry (dropped:" + input.droppedNames() + ")");
  }
  if (o.carrierHold) {
    signal.clear();
    modem.renderMark(kHoldSamples, signal);
    out.write(signal);
    out.silence(kOutputTrailerSamples);
  }
  out.finish();
  if (input.anyDropped())
    std::cerr << kProgram
              << ": warning: dropped characters that Baudot cannot carry:" << input.droppedNames()
              << '\n';
  return 0;
}

// A float sample that is not a number, or infinite, reads as silence: a
// damaged or hostile file must neither reach the rate converter (whose
// filter would spread it over its neighbours) nor an integer conversion
// (undefined for such values). x - x is 0 exactly for finite x.
float finiteOrSilence(float v) {
  return v - v == 0.0f ? v : 0.0f;
}

int16_t toS16(float v) {
  // Round half away from zero, without a call into the maths library: this
  // runs for every input sample.
  const float scaled = finiteOrSilence(v) * 32768.0f;
  const long q =
      static_cast<long>(std::clamp(scaled, -32768.0f, 32767.0f) + (scaled < 0.0f ? -0.5f : 0.5f));
  return static_cast<int16_t>(std::clamp<long>(q, -32768, 32767));
}

int decode(const Options& o) {
  if (o.words.size() != 1)
    fail(o.words.empty() ? "decode needs an input file" : "decode takes one input file");
  const std::string& path = o.words[0];
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) fail("cannot read " + path + ": " + sf_strerror(nullptr));
  struct Closer {
    SNDFILE* f;
    ~Closer() { sf_close(f); }
  } closer{f};
  if (info.channels < 1 || info.samplerate <= 0) fail("unsupported sound file: " + path);

  FskModem modem;
  modem.setBaud(o.baud);
  modem.setUnshiftOnSpace(o.unshiftOnSpace);
  modem.setThreshold(o.threshold ? *o.threshold
                                 : FskModem::thresholdForSensitivity(o.sensitivity.value_or(30.0)));
  TextReceiver receiver(modem, o.receiver.value_or(kDefaultReceiver));

  const double ratio = static_cast<double>(kReceiveRate) / info.samplerate;
  std::optional<RateConverter> converter;
  if (info.samplerate != kReceiveRate) {
    converter.emplace(info.samplerate, kReceiveRate);
    if (!converter->ok())
      fail(std::string("cannot convert the sample rate: ") + converter->error());
  }

  // Frames per read: few system calls (ten minutes at 8000 Hz in 74).
  constexpr sf_count_t kFrames = 65536;
  std::vector<int16_t> samples(static_cast<std::size_t>(kFrames * std::max(1.0, ratio)) + 256);
  // Float data is read as floats, so that every sample passes the check
  // for values that are not numbers.
  const int subtype = info.format & SF_FORMAT_SUBMASK;
  const bool floatData = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
  if (!converter && !floatData) {
    // Already at the receiver's rate: read 16-bit integers, as the program
    // reads the sound card (8-bit files come in as exact multiples of 256).
    // A mono file's frames are the receiver's samples as read.
    static_assert(std::is_same_v<short, int16_t>, "libsndfile's shorts are our samples");
    std::vector<short> frames(static_cast<std::size_t>(kFrames) * info.channels);
    for (;;) {
      const sf_count_t got = sf_readf_short(f, frames.data(), kFrames);
      if (got <= 0) break;
      if (info.channels == 1) {
        receiver.feed(frames.data(), static_cast<std::size_t>(got));
        continue;
      }
      for (sf_count_t i = 0; i < got; ++i) samples[i] = frames[i * info.channels];
      receiver.feed(samples.data(), static_cast<std::size_t>(got));
    }
  } else {
    std::vector<float> frames(static_cast<std::size_t>(kFrames) * info.channels);
    std::vector<float> mono(kFrames);
    std::vector<float> converted;
    for (bool end = false; !end;) {
      const sf_count_t got = sf_readf_float(f, frames.data(), kFrames);
      if (got < 0) fail("cannot read " + path);
      end = got == 0;
      for (sf_count_t i = 0; i < got; ++i) mono[i] = finiteOrSilence(frames[i * info.channels]);
      if (!converter) {
        for (sf_count_t i = 0; i < got; ++i) samples[i] = toS16(mono[i]);
        receiver.feed(samples.data(), static_cast<std::size_t>(got));
        continue;
      }
      converted.clear();
      if (!converter->convert(mono.data(), static_cast<std::size_t>(got), end, converted))
        fail(std::string("cannot convert the sample rate: ") + converter->error());
      if (samples.size() < converted.size()) samples.resize(converted.size());
      for (std::size_t i = 0; i < converted.size(); ++i) samples[i] = toS16(converted[i]);
      receiver.feed(samples.data(), converted.size());
    }
  }
  if (sf_error(f) != SF_ERR_NO_ERROR) fail("cannot read " + path + ": " + sf_strerror(f));

  const std::string text = cp1252ToUtf8(receiver.finish());
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  return std::fflush(stdout) == 0 ? 0 : kExitError;
}

int dial(const Options& o) {
  if (!o.output) fail("dial needs -o OUT.wav");
  if (o.words.size() != 1) fail(o.words.empty() ? "dial needs a NUMBER" : "dial takes one NUMBER");
  const std::string& number = o.words[0];
  if (number.empty()) fail("empty number: nothing to dial");
  FskModem modem;
  if (modem.dialPlan(number).empty())
    fail("nothing to dial in " + number + " (digits, *, # and ,)");
  writeU8Wav(*o.output, renderDialSignal(modem, number), kDialRate);
  return 0;
}

int devices() {
  const std::unique_ptr<SoundDevice> device = openSystemSoundDevice();
  const DeviceLists lists(*device);
  for (const std::string& name : lists.inputList()) std::cout << "input\t" << name << '\n';
  for (const std::string& name : lists.outputList()) std::cout << "output\t" << name << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Options o = parse(argc, argv);
    if (o.command == "help") {
      std::cout << kUsage;
      return 0;
    }
    if (o.command == "version") {
      std::cout << kProgram << ' ' << QUELTO_VERSION << '\n';
      return 0;
    }
    if (o.command == "encode") return encode(o);
    if (o.command == "decode") return decode(o);
    if (o.command == "devices") return devices();
    return dial(o);
  } catch (const Failure& e) {
    std::cerr << kProgram << ": " << e.message << '\n';
    return kExitError;
  } catch (const std::exception& e) {
    std::cerr << kProgram << ": " << e.what() << '\n';
    return kExitError;
  }
}
