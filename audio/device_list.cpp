#include "audio/device_list.h"

#include "settings/translation.h"
#include "text/text_encoding.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace quelto {

namespace {

std::vector<std::string> withDefault(std::vector<std::string> names) {
  names.insert(names.begin(), kDefaultDeviceName);
  return names;
}

bool listed(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin() + 1, list.end(), name) != list.end();
}

// A report text in the interface language, in Windows-1252 like the rest of
// the report; a count goes into its %d.
std::string reportText(Text text, int count = 0) {
  char buf[512];
  std::snprintf(buf, sizeof buf, translate(text), count);
  return utf8ToCp1252(buf);
}

}  // namespace

DeviceLists::DeviceLists(SoundDevice& device) : device_(&device) {
  take();
}

DeviceLists::DeviceLists(std::vector<std::string> inputs, std::vector<std::string> outputs)
    : inputs_(withDefault(std::move(inputs))), outputs_(withDefault(std::move(outputs))) {}

void DeviceLists::refresh() {
  if (!device_) return;
  device_->rescan();
  take();
}

void DeviceLists::take() {
  inputs_ = withDefault(device_->inputDeviceNames());
  outputs_ = withDefault(device_->outputDeviceNames());
}

int listIndex(const std::vector<std::string>& list, const std::string& name) {
  const auto it = std::find(list.begin(), list.end(), name);
  return it == list.end() ? 0 : static_cast<int>(it - list.begin());
}

std::vector<std::string> deviceChoices(const std::vector<std::string>& list,
                                       const std::string& storedName) {
  std::vector<std::string> choices = list;
  if (!storedName.empty() && std::find(list.begin(), list.end(), storedName) == list.end())
    choices.push_back(storedName);
  return choices;
}

std::string deviceChoiceLabel(const std::string& name, const std::vector<std::string>& list,
                              const std::string& notFoundPattern) {
  if (std::find(list.begin(), list.end(), name) != list.end()) return name;
  std::string label = notFoundPattern;
  const std::size_t at = label.find("%s");
  if (at == std::string::npos) return label + " " + name;
  return label.replace(at, 2, name);
}

std::string chosenDevice(const std::string& storedName) {
  return storedName == kDefaultDeviceName ? std::string() : storedName;
}

std::string diagnosticReport(const std::string& inputName, const std::string& outputName,
                             const DeviceLists& lists) {
  std::string report;
  if (inputName == kDefaultDeviceName) {
    report += reportText(Text::InputDeviceNotSet) + "\n";
    if (lists.inputList().size() > 2)
      report +=
          reportText(Text::InputDeviceCount, static_cast<int>(lists.inputList().size()) - 1) + "\n";
    report += "\n";
  } else {
    report += reportText(Text::InputDeviceIs) + utf8ToCp1252(inputName) + "\n";
    // A chosen device that is not plugged in: the program uses the default
    // device meanwhile.
    if (!listed(lists.inputList(), inputName)) report += reportText(Text::DeviceNotFound) + "\n";
    report += "\n";
    std::string lower = inputName;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.find("digital") != std::string::npos)
      report += reportText(Text::DigitalInputWarning) + "\n";
    report += "\n";
  }
  if (outputName == kDefaultDeviceName) {
    report += reportText(Text::OutputDeviceNotSet) + "\n";
    if (lists.outputList().size() > 2)
      report +=
          reportText(Text::OutputDeviceCount, static_cast<int>(lists.outputList().size()) - 1) +
          "\n";
    report += "\n";
  } else {
    report += reportText(Text::OutputDeviceIs) + utf8ToCp1252(outputName) + "\n";
    if (!listed(lists.outputList(), outputName)) report += reportText(Text::DeviceNotFound) + "\n";
    report += "\n";
  }
  return report;
}

}  // namespace quelto
