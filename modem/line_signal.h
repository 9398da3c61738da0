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
#include "modem/robust_receiver.h"

namespace quelto {

// The 22050 samples/s signal for typed Windows-1252 text: the characters in
// batches of up to kBatchMaxChars, each batch followed by
// kOutputTrailerSamples of silence, rendered at the modem's baud rate
// and shift state (which it updates). Characters for which isSendable is
// false are the caller's to drop; here they contribute no samples but still
// occupy their place in a batch, as they would in the send queue.
std::vector<uint8_t> renderTextSignal(FskModem& modem, const std::string& text);

// The same text as the program plays it with "CarrierHold" on (the
// default): one transmission of kLeadInSamples of mark, the characters back
// to back with continuous phase (the first page's shift code always sent,
// Enter as CR LF), kHoldSamples of mark, then kOutputTrailerSamples of
// silence.
std::vector<uint8_t> renderHeldCarrierSignal(FskModem& modem, const std::string& text);

// The 8000 samples/s signal of a dial pass: each key's 4800 samples followed
// by kOutputTrailerSamples of silence, each pause as kDialPauseSamples of
// silence.
std::vector<uint8_t> renderDialSignal(const FskModem& modem, const std::string& number);

// The receive path over a stream of 8000 samples/s signed 16-bit input that
// arrives in
// pieces of any size: whole receive blocks go through the modem as the modem
// thread reads them, and the characters are kept as the conversation would
// show them: carriage return dropped, line feed as a space, a received
// backspace erasing the previous character (nothing when there is none).
// `kind` chooses the demodulator.
class TextReceiver {
 public:
  explicit TextReceiver(FskModem& modem, ReceiverKind kind = ReceiverKind::Classic)
      : receiver_(modem, kind) {}
  void feed(const int16_t* samples, std::size_t count);
  // Demodulates what is left (padded with silence) and one more block of
  // silence, since the live receiver keeps listening after a transmission
  // and a frame whose last decisions fall after the input still completes;
  // returns the whole text.
  std::string finish();

 private:
  void runBlock(const int16_t* block);
  void deliver(unsigned char ch);

  Receiver receiver_;
  std::vector<int16_t> partial_;
  std::string text_;
};

// The whole receive path over one buffer: TextReceiver feed, then finish.
std::string receiveText(FskModem& modem, const int16_t* samples, std::size_t count,
                        ReceiverKind kind = ReceiverKind::Classic);
// The same over 8-bit unsigned input (the program's own line signal, old
// recordings), widened as a 16-bit card records it.
std::string receiveText(FskModem& modem, const std::vector<uint8_t>& samples);

}  // namespace quelto
