// Operations whose windows are not built yet: the menu items and controls
// that call them do nothing for now.
#include "ui/quelto_user_interface_impl.h"

namespace quelto {

void QueltoUserInterfaceImpl::showGlobalPreferences() {}
void QueltoUserInterfaceImpl::applyGlobalPreferences() {}
void QueltoUserInterfaceImpl::showPersonalPreferences() {}
void QueltoUserInterfaceImpl::deleteProfile(int, bool) {}
void QueltoUserInterfaceImpl::showDeleteProfile() {}
void QueltoUserInterfaceImpl::askNumberToDial() {}
void QueltoUserInterfaceImpl::applyPersonalPreferences() {}
void QueltoUserInterfaceImpl::exportRtf() {}
void QueltoUserInterfaceImpl::printConversation() {}
void QueltoUserInterfaceImpl::setDefaultColours(int) {}
void QueltoUserInterfaceImpl::showAbout() {}
void QueltoUserInterfaceImpl::programmedMessageEdited(int) {}
void QueltoUserInterfaceImpl::playVocalAnnounce() {}
void QueltoUserInterfaceImpl::printUnitsChanged() {}
void QueltoUserInterfaceImpl::showPhonebook() {}
void QueltoUserInterfaceImpl::contactSelected() {}
void QueltoUserInterfaceImpl::contactTelephoneEdited() {}
void QueltoUserInterfaceImpl::contactNotesEdited() {}
void QueltoUserInterfaceImpl::addContact() {}
void QueltoUserInterfaceImpl::renameContact() {}
void QueltoUserInterfaceImpl::removeContact() {}
void QueltoUserInterfaceImpl::cancelPersonalPreferences() {}
void QueltoUserInterfaceImpl::dialFromList() {}
void QueltoUserInterfaceImpl::dialManual() {}
void QueltoUserInterfaceImpl::showEditProfile() {}
void QueltoUserInterfaceImpl::applyEditProfile() {}
void QueltoUserInterfaceImpl::moveTab(int) {}
void QueltoUserInterfaceImpl::diagnostic() {}
void QueltoUserInterfaceImpl::showProgrammedMessages() {}
void QueltoUserInterfaceImpl::showManual() {}

}  // namespace quelto
