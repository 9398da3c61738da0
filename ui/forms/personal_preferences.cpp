#include "ui/forms/personal_preferences.h"

#include <algorithm>
#include <iomanip>
#include <locale>
#include <sstream>

#include "settings/programmed_messages.h"

namespace quelto {

namespace {

PreviewText previewText(int color, int face, int size, int capitals) {
  return {color, face, size, capitals != 0};
}

void storeMargin(const std::string& text, double& margin) {
  if (const std::optional<double> v = parseMargin(text)) margin = *v;
}

void storePrintFont(const PrintFont& font, int& capitals, int& face, int& size) {
  capitals = font.capitals ? 1 : 0;
  face = font.face;
  if (fontSizeItem(font.size)) size = font.size;
}

}  // namespace

bool PersonalPreferencesValues::operator==(const PersonalPreferencesValues& o) const {
  const auto preview = [](const PreviewText& a, const PreviewText& b) {
    return a.color == b.color && a.face == b.face && a.size == b.size && a.capitals == b.capitals;
  };
  const auto print = [](const PrintFont& a, const PrintFont& b) {
    return a.face == b.face && a.size == b.size && a.capitals == b.capitals;
  };
  return preview(sent, o.sent) && preview(received, o.received) &&
         bottomTextColor == o.bottomTextColor && bottomTextSize == o.bottomTextSize &&
         bottomBoxColor == o.bottomBoxColor && backgroundColor == o.backgroundColor &&
         baudChoice == o.baudChoice && sensitivity == o.sensitivity &&
         unshiftOnSpace == o.unshiftOnSpace && vocalAnnounce == o.vocalAnnounce &&
         units == o.units && margins.top == o.margins.top && margins.left == o.margins.left &&
         margins.right == o.margins.right && margins.bottom == o.margins.bottom &&
         useScreenFaces == o.useScreenFaces && print(printSent, o.printSent) &&
         print(printReceived, o.printReceived) && messages == o.messages;
}

PersonalPreferencesValues preferencesFromProfile(const Profile& p) {
  PersonalPreferencesValues v;
  v.sent = previewText(p.sentTextColor, p.sentTextFace, p.sentTextSize, p.sentTextCapitals);
  v.received = previewText(p.receivedTextColor, p.receivedTextFace, p.receivedTextSize,
                           p.receivedTextCapitals);
  v.bottomTextColor = p.currentTextColor;
  v.bottomTextSize = p.currentTextSize;
  v.bottomBoxColor = p.bottomBackgroundColor;
  v.backgroundColor = p.backgroundColor;
  v.baudChoice = baudChoiceFromRate(p.defaultBaudRate);
  v.sensitivity = p.sensitivity;
  v.unshiftOnSpace = p.unshiftOnSpace != 0;
  if (p.vocalAnnounce >= 0) v.vocalAnnounce = p.vocalAnnounce;
  v.units = p.units;
  v.margins = {formatMargin(p.topMargin), formatMargin(p.leftMargin), formatMargin(p.rightMargin),
               formatMargin(p.bottomMargin)};
  v.useScreenFaces = p.useScreenFaces != 0;
  v.printSent = {p.printSentTextFace, p.printSentTextSize, p.printSentTextCapitals != 0};
  v.printReceived = {p.printReceivedTextFace, p.printReceivedTextSize,
                     p.printReceivedTextCapitals != 0};
  v.messages = p.messages;
  return v;
}

void storePreferences(const PersonalPreferencesValues& v, const Phonebook& contacts, Profile& p) {
  p.sentTextColor = v.sent.color;
  p.sentTextCapitals = v.sent.capitals ? 1 : 0;
  p.sentTextFace = v.sent.face;
  p.sentTextSize = v.sent.size;
  p.receivedTextColor = v.received.color;
  p.receivedTextCapitals = v.received.capitals ? 1 : 0;
  p.receivedTextFace = v.received.face;
  p.receivedTextSize = v.received.size;
  p.currentTextColor = v.bottomTextColor;
  p.currentTextSize = v.bottomTextSize;
  p.backgroundColor = v.backgroundColor;
  p.bottomBackgroundColor = v.bottomBoxColor;
  p.defaultBaudRate = baudRateFromChoice(v.baudChoice);
  p.sensitivity = v.sensitivity;
  p.unshiftOnSpace = v.unshiftOnSpace ? 1 : 0;
  // No selection is stored as -1, which selects no line when applied again.
  p.vocalAnnounce = v.vocalAnnounce.value_or(-1);
  p.units = v.units;
  storeMargin(v.margins.top, p.topMargin);
  storeMargin(v.margins.left, p.leftMargin);
  storeMargin(v.margins.right, p.rightMargin);
  storeMargin(v.margins.bottom, p.bottomMargin);
  p.useScreenFaces = v.useScreenFaces ? 1 : 0;
  storePrintFont(v.printSent, p.printSentTextCapitals, p.printSentTextFace, p.printSentTextSize);
  storePrintFont(v.printReceived, p.printReceivedTextCapitals, p.printReceivedTextFace,
                 p.printReceivedTextSize);
  p.messages = v.messages;
  p.phonebook = contacts;
}

std::array<std::string, kProgrammedMessageCount> messageButtonLabels(
    const PersonalPreferencesValues& values) {
  std::array<std::string, kProgrammedMessageCount> labels;
  for (int i = 0; i < kProgrammedMessageCount; ++i)
    labels[i] = programmedMessageLabel(i, values.messages[i]);
  return labels;
}

PreviewColours defaultPreviewColours(int flag) {
  if (flag == kDefaultColour) {
    using namespace display_default;
    return {kSentTextColour, kReceivedTextColour, kCurrentTextColour, kBackgroundColour,
            kBottomBackgroundColour};
  }
  return {0, 0, 7, 7, 0};
}

void applyDefaultColours(PersonalPreferencesValues& values, int flag) {
  const PreviewColours c = defaultPreviewColours(flag);
  values.sent.color = c.sentTextColor;
  values.received.color = c.receivedTextColor;
  values.bottomTextColor = c.bottomTextColor;
  values.backgroundColor = c.backgroundColor;
  values.bottomBoxColor = c.bottomBoxColor;
}

std::string formatMargin(double value) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << std::fixed << std::setprecision(6) << value;
  return out.str();
}

std::optional<double> parseMargin(const std::string& text) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  double value = 0.0;
  if (!(in >> value)) return std::nullopt;
  return value;
}

MarginTexts convertMarginTexts(const MarginTexts& m, int fromUnits, int toUnits) {
  const auto convert = [&](const std::string& text) {
    const std::optional<double> v = parseMargin(text);
    return v ? formatMargin(convertMargin(*v, fromUnits, toUnits)) : text;
  };
  return {convert(m.top), convert(m.left), convert(m.right), convert(m.bottom)};
}

std::optional<int> fontSizeItem(int size) {
  const auto it = std::find(kFontMenuSizes.begin(), kFontMenuSizes.end(), size);
  if (it == kFontMenuSizes.end()) return std::nullopt;
  return static_cast<int>(it - kFontMenuSizes.begin());
}

int faceWithFamily(int face, int family) {
  return family * 4 + face % 4;
}

int faceWithStyle(int face, int style) {
  return face / 4 * 4 + style;
}

Text sentPreviewText(bool capitals) {
  return capitals ? Text::SentPreviewCapitals : Text::SentPreview;
}

Text receivedPreviewText(bool capitals) {
  return capitals ? Text::ReceivedPreviewCapitals : Text::ReceivedPreview;
}

Text printSentButtonLabel(bool capitals) {
  return capitals ? Text::PrintSentFontCapitals : Text::PrintSentFont;
}

Text printReceivedButtonLabel(bool capitals) {
  return capitals ? Text::PrintReceivedFontCapitals : Text::PrintReceivedFont;
}

int baudChoiceFromRate(int defaultBaudRate) {
  return defaultBaudRate == 2 ? 1 : 0;
}

int baudRateFromChoice(int choice) {
  return choice == 1 ? 2 : 1;
}

const char* baudButtonLabel(int defaultBaudRate) {
  return defaultBaudRate == 2 ? "50 &bauds" : "45 &bauds";
}

std::optional<int> steppedPage(std::optional<int> current, int step, int count) {
  if (count <= 0) return std::nullopt;
  if (!current) return 0;
  const int next = *current + step;
  if (next < 0) return count - 1;
  if (next >= count) return 0;
  return next;
}

}  // namespace quelto
