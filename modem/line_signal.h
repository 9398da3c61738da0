// Whole line signals, exactly as the program puts them on the line or reads
// them from it, for tools and tests that work on files instead of a sound
// card: the same batches, trailers, dial steps and receive-path rules that
// the modem thread and the output stream apply pass by pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "modem/fsk_modem.h"

namespace quelto {

// The 22050 samples/s signal for typed Windows-1252 text: the characters in
// batches of up to kBatchMaxChars, each batch followed by
// kOutputTrailerSamples of silence, rendered with the modem's baud selector
// and shift state (which it updates). Characters for which isSendable is
// false are the caller's to drop; here they contribute no samples but still
// occupy their place in a batch, as they would in the send queue.
std::vector<uint8_t> renderTextSignal(FskModem& modem, const std::string& text);

// The 8000 samples/s signal of a dial pass: each key's 4800 samples followed
// by kOutputTrailerSamples of silence, each pause as kDialPauseSamples of
// silence.
std::vector<uint8_t> renderDialSignal(const FskModem& modem, const std::string& number);

// Feeds 8000 samples/s input through the modem in receive blocks, followed
// by one block of silence so that a frame ending with the input completes,
// and returns the text as the conversation would show it: carriage return
// dropped, line feed as a space, a received backspace erasing the previous
// character (nothing when there is none).
std::string receiveText(FskModem& modem, const uint8_t* samples, std::size_t count);

}  // namespace quelto
