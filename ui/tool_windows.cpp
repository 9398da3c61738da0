// The tool windows and commands around the conversation: programmed
// messages, dialling, the about box, the help window, the vocal
// announcement, the device diagnostic, and the RTF export and printing of
// the conversation.
#include <FL/Fl.H>
#include <FL/Fl_Printer.H>

#include "audio/announcements.h"
#include "audio/audio_settings.h"
#include "conversation/print_layout.h"
#include "conversation/prompt.h"
#include "modem/modem_control.h"
#include "settings/profile.h"
#include "settings/translation.h"
#include "text/text_encoding.h"
#include "ui/fltk_page_device.h"
#include "ui/forms/about_texts.h"
#include "ui/quelto_user_interface_impl.h"

namespace quelto {

// Called once by the constructor, after the labels were translated.
void QueltoUserInterfaceImpl::setUpToolWindows() {
  const AboutTexts about = aboutTexts(currentLanguage());
  aboutNameAndVersion->copy_label(about.nameAndVersion.c_str());
  aboutCopyright->label(about.copyright);
  aboutAuthors->label(about.authors);
  aboutMaker->label(about.maker);
  aboutRights->label(about.rights);
  aboutToolkitCredit->label(about.toolkitCredit);
  aboutAddress->value(about.address);
  aboutAddress->readonly(1);
  // Selectable with the mouse for copying; the keyboard stays on "OK", and
  // no text cursor shows in the address.
  aboutAddress->clear_visible_focus();

  // The help browser keeps its own copy of the text; a missing file leaves
  // the window empty rather than stopping the start.
  if (const auto help = findHelpFile(languageName(currentLanguage())))
    helpBrowser->load(help->c_str());

  // F3..F12 fire these buttons from the conversation too; the buttons
  // themselves never take the keyboard focus from it.
  for (Fl_Button* button : programmedMessageButton) button->clear_visible_focus();
}

// --- Programmed messages ------------------------------------------------------------

void QueltoUserInterfaceImpl::showProgrammedMessages() {
  showWindow(programmedMessagesWindow);
}

void QueltoUserInterfaceImpl::editProgrammedMessages() {
  preferencesTabs->value(messagesPage);
  showPersonalPreferences();
}

// --- Dialling -------------------------------------------------------------------------

void QueltoUserInterfaceImpl::dial(const std::string& number) {
  if (number.empty()) return;
  modem_->requestDial(number);
}

void QueltoUserInterfaceImpl::showDialling() {
  diallingList->clear();
  for (const std::string& line : diallingListLines(currentProfile().phonebook))
    diallingList->add(line.c_str());
  manualDialInput->value("");
  runModal(diallingWindow);
  showWindow(mainWindow);
}

void QueltoUserInterfaceImpl::dialFromList() {
  const int line = diallingList->value();
  if (line <= 0) return;
  hideDialog(diallingWindow);
  dial(currentProfile().phonebook.entry(line - 1).number);
}

void QueltoUserInterfaceImpl::dialManual() {
  hideDialog(diallingWindow);
  dial(manualDialInput->value());
}

void QueltoUserInterfaceImpl::askNumberToDial() {
  const auto answer = prompt_.input(translate(Text::NumberToDial), lastDialledNumber_);
  if (answer && !answer->empty()) {
    lastDialledNumber_ = *answer;
    dial(*answer);
  }
  showWindow(mainWindow);
}

// --- About box and help ------------------------------------------------------------------

void QueltoUserInterfaceImpl::showAbout() {
  runModal(aboutWindow);
}

void QueltoUserInterfaceImpl::showManual() {
  showWindow(helpWindow);
}

// --- Commands -----------------------------------------------------------------------------

void QueltoUserInterfaceImpl::playVocalAnnounce() {
  const int line = vocalAnnounceList->value();
  const auto& all = announcements();
  if (line <= 0 || line > static_cast<int>(all.size())) return;
  const Announcement& a = all[static_cast<size_t>(line - 1)];
  // Refused (and nothing happens) while another announcement is pending.
  modem_->requestAnnouncement(a.samples, a.sampleCount);
}

void QueltoUserInterfaceImpl::diagnostic() {
  if (deviceLists_) deviceLists_->refresh();  // says whether the chosen devices are there now
  std::string report = diagnosticReport(deviceLists_ ? *deviceLists_ : DeviceLists({}, {}));
  // Received text folds only ASCII letters; the report's accented ones are
  // raised here so that a French report does not read "PéRIPHéRIQUE".
  if (currentProfile().receivedTextCapitals) report = cp1252ToUpper(report);
  Conversation& c = conversationView->conversation;
  for (unsigned char ch : report) c.addReceived(ch);
  conversationView->relayout();
  conversationView->redrawAll();
  conversationView->resetScroll();
}

// --- RTF export and printing ---------------------------------------------------------------

void QueltoUserInterfaceImpl::exportRtf() {
  if (!showFileInfo()) return;
  const auto name =
      chooseFile(prompt_, true, translate(Text::SaveToRtf), "rtf", translate(Text::RtfFiles));
  if (!name || name->empty()) return;
  if (!conversationView->conversation.exportRtfFile(*name))
    prompt_.alert(translate(Text::FileNotWritten));
}

void QueltoUserInterfaceImpl::printConversation() {
  if (!showFileInfo()) return;
  Fl_Printer printer;
  // The toolkit's print dialog; a cancel (or no printer) prints nothing.
  if (printer.start_job(0) != 0) return;
  FltkPageDevice device(printer);
  // Only margins that leave no room on the chosen paper stop it.
  const bool printed =
      quelto::printConversation(&device, conversationView->conversation, currentProfile());
  printer.end_job();
  if (!printed) prompt_.alert(translate(Text::MarginsLeaveNoRoom));
}

}  // namespace quelto
