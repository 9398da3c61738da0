#include "modem/line_signal.h"

#include <algorithm>
#include <array>

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

std::string receiveText(FskModem& modem, const uint8_t* samples, std::size_t count) {
    std::string text;
    if (samples == nullptr) count = 0;
    auto deliver = [&text](unsigned char ch) {
        if (ch == kBackspace) {
            if (!text.empty()) text.pop_back();
            return;
        }
        text.push_back(static_cast<char>(ch));
    };
    auto feed = [&](const uint8_t* block, int n) {
        const std::optional<unsigned char> first = modem.demodulateBlock(block, n);
        if (!first) return;
        deliver(*first);
        if (const std::optional<unsigned char> second = modem.takePending()) deliver(*second);
    };

    const std::size_t blockLength = static_cast<std::size_t>(modem.receiveBlockLength());
    std::size_t done = 0;
    for (; done + blockLength <= count; done += blockLength)
        feed(samples + done, static_cast<int>(blockLength));

    // The tail, padded with silence, then one block of silence: the live
    // receiver keeps listening after a transmission, so a frame whose last
    // decisions fall after the end of the input still completes.
    std::array<uint8_t, kMaxReceiveBlockLength> block;
    block.fill(128);
    if (done < count) std::copy(samples + done, samples + count, block.begin());
    feed(block.data(), static_cast<int>(blockLength));
    if (done < count) {
        block.fill(128);
        feed(block.data(), static_cast<int>(blockLength));
    }
    return text;
}

}  // namespace quelto
