#pragma once

#include "app/instancechannel.h"

class VeskApp;

// Carries out what a launch asked of the running Vesk: bring a window to the front
// (opening one when none is open) and, once that window's first scan has run,
// select the named skill, in the editor when asked. A name that matches nothing is
// answered with the sentence the launch prints; the window is left as it was.
void handleOpenRequest(VeskApp &app, const OpenRequest &request, const OpenReply &reply);
