#include "ui/fltk_prompt.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Printer.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>

#include "settings/translation.h"

namespace quelto {

namespace {

const char* orNull(const std::string& s) {
  return s.empty() ? nullptr : s.c_str();
}

constexpr const char* kBoxTitle = "Quelto";

// The box is sized by the toolkit when it is shown, so it is centred once
// the modal loop runs, before the user can see it anywhere else.
void centreBoxOn(void* data) {
  auto* owner = static_cast<Fl_Window*>(data);
  Fl_Widget* icon = fl_message_icon();
  Fl_Window* box = icon ? icon->window() : nullptr;
  if (!box || !box->shown()) return;
  int ox, oy, ow, oh;
  if (owner && owner->shown()) {
    ox = owner->x();
    oy = owner->y();
    ow = owner->w();
    oh = owner->h();
  } else {
    Fl::screen_work_area(ox, oy, ow, oh);
  }
  box->position(ox + (ow - box->w()) / 2, oy + (oh - box->h()) / 2);
}

}  // namespace

std::vector<const char**> toolkitTexts() {
  return {&fl_ok,
          &fl_cancel,
          &fl_yes,
          &fl_no,
          &fl_close,
          &Fl_File_Chooser::add_favorites_label,
          &Fl_File_Chooser::all_files_label,
          &Fl_File_Chooser::custom_filter_label,
          &Fl_File_Chooser::existing_file_label,
          &Fl_File_Chooser::favorites_label,
          &Fl_File_Chooser::filename_label,
          &Fl_File_Chooser::filesystems_label,
          &Fl_File_Chooser::manage_favorites_label,
          &Fl_File_Chooser::new_directory_label,
          &Fl_File_Chooser::new_directory_tooltip,
          &Fl_File_Chooser::preview_label,
          &Fl_File_Chooser::save_label,
          &Fl_File_Chooser::show_label,
          &Fl_File_Chooser::hidden_label,
          &Fl_Native_File_Chooser::file_exists_message,
          &Fl_Printer::dialog_title,
          &Fl_Printer::dialog_printer,
          &Fl_Printer::dialog_range,
          &Fl_Printer::dialog_copies,
          &Fl_Printer::dialog_all,
          &Fl_Printer::dialog_pages,
          &Fl_Printer::dialog_from,
          &Fl_Printer::dialog_to,
          &Fl_Printer::dialog_properties,
          &Fl_Printer::dialog_copyNo,
          &Fl_Printer::dialog_print_button,
          &Fl_Printer::dialog_cancel_button,
          &Fl_Printer::dialog_print_to_file,
          &Fl_Printer::property_title,
          &Fl_Printer::property_pagesize,
          &Fl_Printer::property_mode,
          &Fl_Printer::property_use,
          &Fl_Printer::property_save,
          &Fl_Printer::property_cancel};
}

void translateToolkitTexts() {
  // translate() keys on the toolkit's English and hands back static texts,
  // so these pointers stay valid for the whole run.
  for (const char** text : toolkitTexts()) *text = translate(*text);
}

void FltkPrompt::prepareBox() {
  fl_message_title(kBoxTitle);
  fl_message_hotspot(0);
  Fl::remove_timeout(centreBoxOn);
  Fl::add_timeout(0.0, centreBoxOn, owner_);
}

void FltkPrompt::alert(const std::string& text) {
  prepareBox();
  fl_alert("%s", text.c_str());
}

int FltkPrompt::choice(const std::string& question, const std::string& b0, const std::string& b1,
                       const std::string& b2) {
  prepareBox();
  return fl_choice("%s", orNull(b0), orNull(b1), orNull(b2), question.c_str());
}

std::optional<std::string> FltkPrompt::input(const std::string& label,
                                             const std::string& defaultText) {
  prepareBox();
  const char* answer = fl_input("%s", defaultText.c_str(), label.c_str());
  if (!answer) return std::nullopt;
  return std::string(answer);
}

std::optional<std::string> FltkPrompt::password(const std::string& label) {
  prepareBox();
  const char* answer = fl_password("%s", "", label.c_str());
  if (!answer) return std::nullopt;
  return std::string(answer);
}

std::optional<std::string> FltkPrompt::chooseFile(const FileRequest& request) {
  // The desktop's chooser differs from one machine to the next; the
  // toolkit's own one behaves the same everywhere, keyboard included.
  Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
  Fl_Native_File_Chooser chooser;
  chooser.title(request.title.c_str());
  chooser.type(request.save ? Fl_Native_File_Chooser::BROWSE_SAVE_FILE
                            : Fl_Native_File_Chooser::BROWSE_FILE);
  // Replacing an existing file is asked about first.
  chooser.options(request.save
                      ? Fl_Native_File_Chooser::NEW_FOLDER | Fl_Native_File_Chooser::SAVEAS_CONFIRM
                      : 0);
  std::string filter;
  if (!request.extension.empty() && !request.filterName.empty()) {
    filter = request.filterName + "\t*." + request.extension;
    chooser.filter(filter.c_str());
  }
  if (!request.prefill.empty()) chooser.preset_file(request.prefill.c_str());
  if (chooser.show() != 0) return std::nullopt;
  const char* chosen = chooser.filename();
  if (!chosen || !*chosen) return std::nullopt;
  std::string path = chosen;
  // A name typed without extension gets the default one, as the chooser of
  // the other platforms does.
  if (request.save && !request.extension.empty()) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
      path += "." + request.extension;
  }
  return path;
}

}  // namespace quelto
