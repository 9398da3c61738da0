// Signal helpers shared by the modem tests, the interoperability tests and
// the modem benchmark: an FSK frame synthesiser independent of Quelto's
// transmitter, rate conversion, seeded white noise at a given SNR, tone
// power, and WAV files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quelto::testing {

// Baudot frames at `rate` samples/s: for each code a start bit (1800 Hz),
// five data bits (first = value 16; 1 = 1400 Hz, 0 = 1800 Hz) and
// `stopBits` bits of 1400 Hz, bit length rate / baud, phase continuous over
// the whole signal, amplitude `amplitude` around 128 (8-bit unsigned).
std::vector<uint8_t> fskFrames(const std::vector<int>& codes, double baud, double stopBits,
                               int rate = 8000, double amplitude = 100.0);

// The same frames at unit amplitude, as doubles in [-1, 1].
std::vector<double> fskWave(const std::vector<int>& codes, double baud, double stopBits,
                            int rate = 8000);
// Signed 16-bit samples: each value times `scale`, rounded, clipped.
std::vector<int16_t> toS16(const std::vector<double>& samples, double scale);

// A steady tone of `count` samples at `rate`, 8-bit unsigned.
std::vector<uint8_t> tone(double hz, int count, int rate = 8000, double amplitude = 100.0,
                          double phase = 0.0);

// Power of `hz` in the samples (centred on 128), by the Goertzel recurrence,
// normalised so that a sine of amplitude A gives about A^2 / 2.
double tonePower(const uint8_t* samples, int count, double hz, int rate);

// 8-bit unsigned to float in [-1, 1) and back (rounded, clipped).
std::vector<float> toFloat(const std::vector<uint8_t>& samples);
std::vector<uint8_t> toU8(const std::vector<float>& samples);

// Band-limited rate conversion (libsamplerate, best quality).
std::vector<float> resample(const std::vector<float>& in, int fromRate, int toRate);

// Mean square of the samples that carry signal: the 10 ms frames whose mean
// square is above 1/100 of the loudest frame's. That is the power of the
// tones while they are on, whatever the silence between transmissions.
double activeSignalPower(const std::vector<float>& samples, int rate);

// Adds white Gaussian noise (fixed seed) so that activeSignalPower over the
// noise power is snrDb. At 8000 samples/s the noise fills 0-4 kHz.
void addNoise(std::vector<float>& samples, int rate, double snrDb, unsigned seed);

// Pure white Gaussian noise of the given standard deviation.
std::vector<float> whiteNoise(std::size_t count, double sigma, unsigned seed);

// WAV files through libsndfile. writeWav writes 16-bit PCM (float in) or
// 8-bit unsigned (bytes in). readWav returns the first channel as float and
// the rate; throws std::runtime_error when the file cannot be read.
void writeWav(const std::string& path, const std::vector<float>& samples, int rate);
void writeWavU8(const std::string& path, const std::vector<uint8_t>& samples, int rate);
std::vector<float> readWav(const std::string& path, int* rate);

// Levenshtein distance: the fewest characters inserted, deleted or changed
// to turn `sent` into `heard`. Over the length of `sent` it is the character
// error rate (`sent` not empty), which counts a lost or an extra character as one error, not as
// a shift of everything after it.
std::size_t editDistance(const std::string& sent, const std::string& heard);
double characterErrorRate(const std::string& sent, const std::string& heard);

}  // namespace quelto::testing
