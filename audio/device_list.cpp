#include "audio/device_list.h"

#include "text/text_encoding.h"
#include "text/utf8.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace quelto {

namespace {

// Cut to at most 31 bytes without splitting a UTF-8 sequence.
std::string cutName(const std::string& name) {
  return name.substr(0, utf8CutPoint(name, kDeviceNameMax));
}

std::vector<std::string> buildList(int count, std::string (SoundDevice::*nameOf)(int) const,
                                   const SoundDevice& device) {
  std::vector<std::string> list{kDefaultDeviceName};
  for (int i = 0; i < count; ++i) list.push_back(cutName((device.*nameOf)(i)));
  return list;
}

std::string format(const char* pattern, int n) {
  char buf[512];
  std::snprintf(buf, sizeof buf, pattern, n);
  return buf;
}

}  // namespace

DeviceLists::DeviceLists(const SoundDevice& device)
    : inputs_(buildList(device.inputDeviceCount(), &SoundDevice::inputDeviceName, device)),
      outputs_(buildList(device.outputDeviceCount(), &SoundDevice::outputDeviceName, device)) {}

DeviceLists::DeviceLists(std::vector<std::string> inputs, std::vector<std::string> outputs)
    : inputs_{kDefaultDeviceName}, outputs_{kDefaultDeviceName} {
  for (const std::string& n : inputs) inputs_.push_back(cutName(n));
  for (const std::string& n : outputs) outputs_.push_back(cutName(n));
}

int listIndex(const std::vector<std::string>& list, const std::string& name) {
  const auto it = std::find(list.begin(), list.end(), name);
  return it == list.end() ? 0 : static_cast<int>(it - list.begin());
}

int deviceNumber(const std::vector<std::string>& list, const std::string& name) {
  return listIndex(list, name) - 1;
}

std::string diagnosticReport(const std::string& inputName, const std::string& outputName,
                             const DeviceLists& lists) {
  std::string report;
  if (inputName == kDefaultDeviceName) {
    report += "Le peripherique d'entree n'est pas defini dans les preferences\n";
    if (lists.inputList().size() > 2)
      report += format(
          "Il y a %d peripheriques d'entree installes sur cet ordinateur.\n"
          "Il serait preferable de choisir celui ou est branche Quelto.\n",
          static_cast<int>(lists.inputList().size()) - 1);
    report += "\n";
  } else {
    report += "Le peripherique d'entree est: " + utf8ToCp1252(inputName) + "\n\n";
    std::string lower = inputName;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.find("digital") != std::string::npos)
      report +=
          "Le peripherique selectionne semble etre de type numerique et peut etre "
          "incompatible avec Quelto.\nSi vous ne recevez pas de texte de votre "
          "interlocuteur, essayez de choisir un autre periquerique dans les "
          "preferences globales.\n";
    report += "\n";
  }
  if (outputName == kDefaultDeviceName) {
    report += "Le peripherique de sortie n'est pas defini dans les preferences\n";
    if (lists.outputList().size() > 2)
      report += format(
          "Il y a %d peripheriques de sortie installes sur cet ordinateur.\n"
          "Il serait preferable de choisir celui ou est branche Quelto.\n",
          static_cast<int>(lists.outputList().size()) - 1);
    report += "\n";
  } else {
    report += "Le peripherique de sortie est: " + utf8ToCp1252(outputName) + "\n\n";
  }
  return report;
}

}  // namespace quelto
