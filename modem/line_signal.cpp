#include "modem/line_signal.h"

#include "audio/sample_format.h"

#include <algorithm>

namespace quelto {

std::vector<uint8_t> renderTextSignal(FskModem& modem, const std::string& text) {
  std::vector<uint8_t> signal;
  std::vector<uint8_t> batch(kBatchBufferSize);
  const auto* chars = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size(); i += kBatchMaxChars) {
    const int count = static_cast<int>(std::min<std::size_t>(kBatchMaxChars, text.size() - i));
    const int n = modem.renderBatch(chars + i, count, batch.data(), kBatchBufferSize);
    signal.insert(signal.end(), batch.begin(), batch.begin() + n);
    signal.insert(signal.end(), kOutputTrailerSamples, 128);
  }
  return signal;
}

std::vector<uint8_t> renderHeldCarrierSignal(FskModem& modem, const std::string& text) {
  std::vector<uint8_t> signal;
  modem.beginTransmission();
  modem.renderMark(kLeadInSamples, signal);
  modem.renderTransmitted(reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<int>(text.size()), signal);
  modem.renderMark(kHoldSamples, signal);
  signal.insert(signal.end(), kOutputTrailerSamples, 128);
  return signal;
}

std::vector<uint8_t> renderDialSignal(const FskModem& modem, const std::string& number) {
  std::vector<uint8_t> signal;
  for (const DialStep& step : modem.dialPlan(number)) {
    if (step.kind == DialStep::Kind::Pause) {
      signal.insert(signal.end(), kDialPauseSamples, 128);
      continue;
    }
    signal.insert(signal.end(), step.samples.data, step.samples.data + step.samples.length);
    signal.insert(signal.end(), kOutputTrailerSamples, 128);
  }
  return signal;
}

void TextReceiver::deliver(unsigned char ch) {
  if (ch == kBackspace) {
    if (!text_.empty()) text_.pop_back();
    return;
  }
  text_.push_back(static_cast<char>(ch));
}

void TextReceiver::runBlock(const int16_t* block) {
  const std::optional<unsigned char> first =
      receiver_.demodulateBlock(block, receiver_.blockLength());
  if (!first) return;
  deliver(*first);
  if (const std::optional<unsigned char> second = receiver_.takePending()) deliver(*second);
}

void TextReceiver::feed(const int16_t* samples, std::size_t count) {
  if (samples == nullptr) return;
  const std::size_t blockLength = static_cast<std::size_t>(receiver_.blockLength());
  if (!partial_.empty()) {
    const std::size_t take = std::min(count, blockLength - partial_.size());
    partial_.insert(partial_.end(), samples, samples + take);
    samples += take;
    count -= take;
    if (partial_.size() < blockLength) return;
    runBlock(partial_.data());
    partial_.clear();
  }
  for (; count >= blockLength; samples += blockLength, count -= blockLength) runBlock(samples);
  partial_.assign(samples, samples + count);
}

std::string TextReceiver::finish() {
  const std::size_t blockLength = static_cast<std::size_t>(receiver_.blockLength());
  const bool hadTail = !partial_.empty();
  partial_.resize(blockLength, 0);
  runBlock(partial_.data());
  if (hadTail) {
    std::fill(partial_.begin(), partial_.end(), int16_t{0});
    runBlock(partial_.data());
  }
  partial_.clear();
  return text_;
}

std::string receiveText(FskModem& modem, const int16_t* samples, std::size_t count,
                        ReceiverKind kind) {
  TextReceiver receiver(modem, kind);
  receiver.feed(samples, count);
  return receiver.finish();
}

std::string receiveText(FskModem& modem, const std::vector<uint8_t>& samples) {
  const std::vector<int16_t> wide = widenSamples(samples);
  return receiveText(modem, wide.data(), wide.size());
}

}  // namespace quelto
