#pragma once
// The pages of the third group, built in two files.
#include "help/HelpModel.h"

namespace kx::help {

HelpTopic aiTopic();
HelpTopic settingsTopic();
HelpTopic shortcutsTopic();
HelpTopic privacyTopic();
HelpTopic troubleTopic();
HelpTopic contactTopic();

}  // namespace kx::help
